#include "UsbAudioDevice.h"

#include "DeviceMixer.h"
#include "Elevation.h"
#include "TopologyInterface.h"
#include "shared/RK50Constants.h"

#include <cstdio>

namespace rk50 {

namespace {

// The endpoint rule: the converter shows one output and its one or two inputs.
constexpr int kRenderEndpointsWanted = 1;
constexpr int kMaxCaptureEndpoints = 2;

bool allNonEmpty(const EndpointId* table, int count)
{
    for (int i = 0; i < count; ++i) {
        if (table[i][0] == L'\0')
            return false;
    }
    return true;
}

}  // namespace

UsbAudioDevice::UsbAudioDevice()
{
    clearEndpoints();
    osInfoValid_ = QueryOsInfoA(osInfo_);
    if (osInfoValid_ && IsEndpointMode())
        LogElevation();
}

UsbAudioDevice::~UsbAudioDevice()
{
    CloseDevice();
    CloseStatusBlock();
}

bool UsbAudioDevice::IsEndpointMode() const
{
    return osInfo_.kind >= OsWinVista && osInfo_.kind <= OsWin2008R2;
}

const wchar_t* UsbAudioDevice::RenderEndpointId(int slot) const
{
    return slot >= 0 && slot < kMaxEndpoints ? renderIds_[slot] : L"";
}

const wchar_t* UsbAudioDevice::CaptureEndpointId(int slot) const
{
    return slot >= 0 && slot < kMaxEndpoints ? captureIds_[slot] : L"";
}

bool UsbAudioDevice::OpenDevice(HWND window)
{
    if (open_)
        return true;
    const bool opened = IsEndpointMode() ? openByEndpoints() : openByTopology(window);
    if (!opened) {
        CloseDevice();
        return false;
    }
    open_ = true;
    return true;
}

bool UsbAudioDevice::openByEndpoints()
{
    char match[32] = "";
    snprintf(match, sizeof match, "VID_%04X&PID_%04X&MI_%02X", static_cast<unsigned>(kUsbVendorId),
             static_cast<unsigned>(kUsbProductId), static_cast<unsigned>(kUsbAudioInterface));
    // A failed search leaves its count at 0.
    FindAudioEndpoints(match, EndpointRender, renderIds_, renderCount_);
    FindAudioEndpoints(match, EndpointCapture, captureIds_, captureCount_);
    if (renderCount_ != kRenderEndpointsWanted || captureCount_ > kMaxCaptureEndpoints ||
        !allNonEmpty(renderIds_, renderCount_) || !allNonEmpty(captureIds_, captureCount_))
        return false;
    // The endpoints decide presence; the topology handle is a bonus here.
    controlHandle_ = openTopology();
    return true;
}

bool UsbAudioDevice::openByTopology(HWND window)
{
    mixer_ = OpenDeviceMixer(window);
    controlHandle_ = openTopology();
    return controlHandle_ != INVALID_HANDLE_VALUE;
}

HANDLE UsbAudioDevice::openTopology()
{
    char path[kDevicePathChars] = "";
    if (!FindTopologyInterface(path))
        return INVALID_HANDLE_VALUE;
    // Only held to know the device is there; nothing is sent on it.
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    // Some failing calls return null instead of the invalid-handle value.
    return handle ? handle : INVALID_HANDLE_VALUE;
}

void UsbAudioDevice::clearEndpoints()
{
    renderCount_ = 0;
    captureCount_ = 0;
    for (int i = 0; i < kMaxEndpoints; ++i) {
        renderIds_[i][0] = L'\0';
        captureIds_[i][0] = L'\0';
    }
}

void UsbAudioDevice::CloseDevice()
{
    clearEndpoints();
    if (mixer_) {
        mixerClose(mixer_);
        mixer_ = nullptr;
    }
    if (controlHandle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(controlHandle_);
        controlHandle_ = INVALID_HANDLE_VALUE;
    }
    open_ = false;
}

bool UsbAudioDevice::OpenStatusBlock()
{
    if (statusMapped_)
        return true;
    statusMapped_ = openStatusBlockMapping(statusBlock_);
    return statusMapped_;
}

void UsbAudioDevice::CloseStatusBlock()
{
    if (statusMapped_)
        closeStatusBlockMapping(statusBlock_);
    statusMapped_ = false;
}

AsioStatusBlock* UsbAudioDevice::StatusBlock() const
{
    if (!statusMapped_ || !isStatusBlockValid(statusBlock_.view))
        return nullptr;
    return statusBlock_.view;
}

bool UsbAudioDevice::ReadAsioStatus(AsioStatusSnapshot& snapshot) const
{
    const AsioStatusBlock* block = StatusBlock();
    if (!block)
        return false;
    snapshot.driverLoaded = block->driverLoaded != 0 ? 1 : 0;
    snapshot.streaming = block->streaming != 0 ? 1 : 0;
    snapshot.activeOutputs = block->activeOutputs;
    snapshot.activeInputs = block->activeInputs;
    snapshot.bufferSize = block->bufferSize;
    snapshot.sampleRate = block->sampleRate;
    snapshot.bitsPerSample = block->bitsPerSample;
    return true;
}

}  // namespace rk50
