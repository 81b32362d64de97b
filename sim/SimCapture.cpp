#include "SimCapture.h"

#include <cstdio>

namespace rk50sim {

namespace {

constexpr char kLogColumns[] = "clock_frame,device,rate,frames,crc32,peak_left,peak_right\r\n";

bool writeAt(HANDLE file, LONGLONG offset, const void* data, DWORD bytes)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD written = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && WriteFile(file, data, bytes, &written, nullptr) &&
           written == bytes;
}

HANDLE openShared(const std::string& path)
{
    // Others may read (and delete) the files while the stream runs.
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool CaptureFile::open(const std::string& path, const PcmFormat& format)
{
    wav_ = openShared(path);
    if (wav_ == INVALID_HANDLE_VALUE) {
        OutputDebugStringA("rk50sim: cannot open the capture file\n");
        return false;
    }
    path_ = path;
    full_ = false;
    // Append to a capture of the same format; start any other file afresh.
    BYTE header[kWavHeaderBytes] = {};
    DWORD got = 0;
    LARGE_INTEGER size = {};
    PcmFormat existing;
    uint32_t existingBytes = 0;
    GetFileSizeEx(wav_, &size);
    if (ReadFile(wav_, header, sizeof header, &got, nullptr) &&
        readWavHeader(header, got, existing, existingBytes) && sameFormat(existing, format) &&
        size.QuadPart == static_cast<LONGLONG>(kWavHeaderBytes) + existingBytes) {
        dataBytes_ = existingBytes;
    } else {
        uint8_t fresh[kWavHeaderBytes];
        buildWavHeader(format, 0, fresh);
        writeAt(wav_, 0, fresh, sizeof fresh);
        SetEndOfFile(wav_);
        dataBytes_ = 0;
    }
    log_ = openShared(path + ".csv");
    LARGE_INTEGER logSize = {};
    if (log_ != INVALID_HANDLE_VALUE && GetFileSizeEx(log_, &logSize) && logSize.QuadPart == 0)
        writeAt(log_, 0, kLogColumns, sizeof kLogColumns - 1);
    return true;
}

void CaptureFile::append(const std::string& path, const PcmFormat& format, UINT device, long long clockFrame,
                         const BYTE* data, DWORD bytes)
{
    if (path != path_)
        close();
    if (path.empty() || bytes == 0)
        return;
    if (wav_ == INVALID_HANDLE_VALUE && !open(path, format))
        return;
    if (full_ || dataBytes_ > 0xFFFFFFFFu - kWavHeaderBytes - bytes) {
        full_ = true;  // a RIFF file ends at 4 GB
        return;
    }
    if (!writeAt(wav_, static_cast<LONGLONG>(kWavHeaderBytes) + dataBytes_, data, bytes))
        return;
    dataBytes_ += bytes;
    uint8_t header[kWavHeaderBytes];
    buildWavHeader(format, dataBytes_, header);
    writeAt(wav_, 0, header, sizeof header);

    if (log_ == INVALID_HANDLE_VALUE)
        return;
    const DWORD frames = bytes / frameBytes(format);
    const Peaks peak = peaks(data, format, frames);
    char line[160];
    const int length = snprintf(line, sizeof line, "%lld,%u,%u,%lu,%08x,%u,%u\r\n", clockFrame, device,
                                format.rate, static_cast<unsigned long>(frames), crc32(data, bytes), peak.left,
                                peak.right);
    LARGE_INTEGER end = {};
    if (length > 0 && length < static_cast<int>(sizeof line) && GetFileSizeEx(log_, &end))
        writeAt(log_, end.QuadPart, line, static_cast<DWORD>(length));
}

void CaptureFile::close()
{
    if (wav_ != INVALID_HANDLE_VALUE)
        CloseHandle(wav_);
    if (log_ != INVALID_HANDLE_VALUE)
        CloseHandle(log_);
    wav_ = INVALID_HANDLE_VALUE;
    log_ = INVALID_HANDLE_VALUE;
    path_.clear();
    dataBytes_ = 0;
}

}  // namespace rk50sim
