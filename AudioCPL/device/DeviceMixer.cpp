#include "DeviceMixer.h"

#include "UsbIds.h"
#include "shared/RK50Constants.h"

#include <mmddk.h>

namespace rk50 {

namespace {

constexpr ULONG kInterfaceNameBytes = 1024;

bool isConverterMixer(UINT id)
{
    // The mixer handle parameter carries the mixer id for these queries.
    HMIXER asId = reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(id));
    ULONG size = 0;
    if (mixerMessage(asId, DRV_QUERYDEVICEINTERFACESIZE, reinterpret_cast<DWORD_PTR>(&size), 0) !=
            MMSYSERR_NOERROR ||
        size == 0 || size > kInterfaceNameBytes)
        return false;
    wchar_t name[kInterfaceNameBytes / sizeof(wchar_t) + 1] = {};
    if (mixerMessage(asId, DRV_QUERYDEVICEINTERFACE, reinterpret_cast<DWORD_PTR>(name), size) !=
        MMSYSERR_NOERROR)
        return false;
    name[kInterfaceNameBytes / sizeof(wchar_t)] = L'\0';
    std::uint16_t vendor, product, interfaceNumber;
    return ParseUsbIds(name, vendor, product, interfaceNumber) && vendor == kUsbVendorId &&
           product == kUsbProductId && interfaceNumber == kUsbAudioInterface;
}

}  // namespace

HMIXER OpenDeviceMixer(HWND window)
{
    const UINT mixers = mixerGetNumDevs();
    for (UINT id = 0; id < mixers; ++id) {
        if (!isConverterMixer(id))
            continue;
        MIXERCAPSA caps = {};
        if (mixerGetDevCapsA(id, &caps, sizeof caps) != MMSYSERR_NOERROR)
            continue;
        HMIXER mixer = nullptr;
        // A failed open leaves no handle to close later.
        if (mixerOpen(&mixer, id, reinterpret_cast<DWORD_PTR>(window), 0, CALLBACK_WINDOW | MIXER_OBJECTF_MIXER) !=
            MMSYSERR_NOERROR)
            return nullptr;
        return mixer;
    }
    return nullptr;
}

}  // namespace rk50
