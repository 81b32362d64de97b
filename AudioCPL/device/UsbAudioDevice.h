// The control panel's handle on the converter: whether it is present (found
// through its audio endpoints on Windows Vista and 7, through its driver's
// kernel-streaming topology interface elsewhere), and the status block the
// ASIO driver publishes. Used on the panel's user-interface thread only.
#pragma once

#include "AsioStatusSnapshot.h"
#include "AudioEndpoints.h"
#include "shared/OsInfo.h"
#include "shared/StatusBlockMapping.h"

#include <windows.h>
#include <mmsystem.h>

namespace rk50 {

class UsbAudioDevice {
public:
    UsbAudioDevice();
    ~UsbAudioDevice();
    UsbAudioDevice(const UsbAudioDevice&) = delete;
    UsbAudioDevice& operator=(const UsbAudioDevice&) = delete;

    bool IsOsInfoValid() const { return osInfoValid_; }
    const OsInfo& GetOsInfo() const { return osInfo_; }
    // Fixed at construction: Windows Vista, Server 2008, 7 and Server 2008 R2.
    bool IsEndpointMode() const;

    // The mixer's notifications go to window. True when the device is open
    // afterwards.
    bool OpenDevice(HWND window);
    void CloseDevice();
    bool IsOpen() const { return open_; }
    // The topology handle held while open; INVALID_HANDLE_VALUE when none
    // (endpoint mode may be open without one).
    HANDLE ControlHandle() const { return controlHandle_; }
    HMIXER Mixer() const { return mixer_; }
    int RenderEndpointCount() const { return renderCount_; }
    int CaptureEndpointCount() const { return captureCount_; }
    const wchar_t* RenderEndpointId(int slot) const;
    const wchar_t* CaptureEndpointId(int slot) const;

    bool OpenStatusBlock();
    void CloseStatusBlock();
    // The mapped block while it carries the driver's magic, else null.
    AsioStatusBlock* StatusBlock() const;
    bool ReadAsioStatus(AsioStatusSnapshot& snapshot) const;

private:
    bool openByEndpoints();
    bool openByTopology(HWND window);
    // The topology handle, or INVALID_HANDLE_VALUE.
    static HANDLE openTopology();
    void clearEndpoints();

    OsInfo osInfo_;
    bool osInfoValid_ = false;
    HANDLE controlHandle_ = INVALID_HANDLE_VALUE;
    bool open_ = false;
    HMIXER mixer_ = nullptr;
    StatusBlockMapping statusBlock_;
    bool statusMapped_ = false;
    int renderCount_ = 0;
    int captureCount_ = 0;
    EndpointId renderIds_[kMaxEndpoints];
    EndpointId captureIds_[kMaxEndpoints];
};

}  // namespace rk50
