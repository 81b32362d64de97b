// What one output stream of the converter plays, kept on disk: the frames
// appended to a WAV file whose header is rewritten after every block (so the
// file is valid while the stream runs), and one line per block in PATH.csv.
#pragma once

#include "SimSignal.h"

#include <windows.h>

#include <string>

namespace rk50sim {

class CaptureFile {
public:
    CaptureFile() = default;
    ~CaptureFile() { close(); }
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Appends played frames to the file at path (empty: keep nothing),
    // switching files when the path changes.
    void append(const std::string& path, const PcmFormat& format, UINT device, long long clockFrame,
                const BYTE* data, DWORD bytes);
    void close();

private:
    bool open(const std::string& path, const PcmFormat& format);

    HANDLE wav_ = INVALID_HANDLE_VALUE;
    HANDLE log_ = INVALID_HANDLE_VALUE;
    std::string path_;
    uint32_t dataBytes_ = 0;
    bool full_ = false;
};

}  // namespace rk50sim
