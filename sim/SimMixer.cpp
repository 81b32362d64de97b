// The wave mixers of the machine, as winmm's mixer functions show them: ids in
// file order over the mixers present now (the converter's are gone while it is
// unplugged), each answering DRV_QUERYDEVICEINTERFACE(SIZE) with its wide
// interface name.
#define _WINMM_  // these are the definitions of the functions winmm would export

#include "SimControlBlock.h"
#include "SimMachine.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

struct OpenMixer {
    rk50sim::MixerDevice device;
};

std::mutex mixersLock;
std::set<OpenMixer*> openMixers;

std::vector<rk50sim::MixerDevice> presentMixers()
{
    const rk50sim::Machine machine = rk50sim::currentMachine();
    const bool plugged = rk50sim::converterPlugged();
    std::vector<rk50sim::MixerDevice> present;
    for (const rk50sim::MixerDevice& mixer : machine.access.mixers) {
        if (plugged || !rk50sim::belongsToConverter(mixer.interfaceName))
            present.push_back(mixer);
    }
    return present;
}

bool mixerById(UINT_PTR id, rk50sim::MixerDevice& mixer)
{
    const std::vector<rk50sim::MixerDevice> present = presentMixers();
    if (id >= present.size())
        return false;
    mixer = present[id];
    return true;
}

// An open handle of ours, or else the id the handle parameter carries.
bool resolve(HMIXEROBJ object, rk50sim::MixerDevice& mixer)
{
    {
        std::lock_guard<std::mutex> guard(mixersLock);
        auto it = openMixers.find(reinterpret_cast<OpenMixer*>(object));
        if (it != openMixers.end()) {
            mixer = (*it)->device;
            return true;
        }
    }
    return mixerById(reinterpret_cast<UINT_PTR>(object), mixer);
}

std::wstring wide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(length > 0 ? length : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], length);
    result.resize(wcslen(result.c_str()));
    return result;
}

}  // namespace

extern "C" {

UINT WINAPI mixerGetNumDevs(void)
{
    rk50sim::reloadMachine();
    return static_cast<UINT>(presentMixers().size());
}

MMRESULT WINAPI mixerGetDevCapsA(UINT_PTR id, LPMIXERCAPSA caps, UINT capsSize)
{
    rk50sim::MixerDevice mixer;
    if (!resolve(reinterpret_cast<HMIXEROBJ>(id), mixer))
        return MMSYSERR_BADDEVICEID;
    if (!caps || capsSize < sizeof(MIXERCAPSA))
        return MMSYSERR_INVALPARAM;
    if (!mixer.capsReadable)
        return MMSYSERR_NODRIVER;
    MIXERCAPSA filled = {};
    filled.wMid = 0xFFFF;  // no registered manufacturer
    filled.vDriverVersion = 0x0100;
    lstrcpynA(filled.szPname, mixer.productName.c_str(), MAXPNAMELEN);
    filled.cDestinations = 2;
    *caps = filled;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerOpen(LPHMIXER handle, UINT id, DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    if (!handle)
        return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    rk50sim::MixerDevice mixer;
    if (!mixerById(id, mixer))
        return MMSYSERR_BADDEVICEID;
    if ((flags & CALLBACK_TYPEMASK) == CALLBACK_WINDOW && callback && !IsWindow(reinterpret_cast<HWND>(callback)))
        return MMSYSERR_INVALPARAM;
    if (!mixer.opens)
        return MMSYSERR_ALLOCATED;
    OpenMixer* open = new OpenMixer{mixer};
    std::lock_guard<std::mutex> guard(mixersLock);
    openMixers.insert(open);
    *handle = reinterpret_cast<HMIXER>(open);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI mixerClose(HMIXER handle)
{
    OpenMixer* open = reinterpret_cast<OpenMixer*>(handle);
    {
        std::lock_guard<std::mutex> guard(mixersLock);
        if (!openMixers.erase(open))
            return MMSYSERR_INVALHANDLE;
    }
    delete open;
    return MMSYSERR_NOERROR;
}

DWORD WINAPI mixerMessage(HMIXER handle, UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    rk50sim::MixerDevice mixer;
    if (!resolve(reinterpret_cast<HMIXEROBJ>(handle), mixer))
        return MMSYSERR_BADDEVICEID;
    const std::wstring name = mixer.hasInterfaceName ? wide(mixer.interfaceName) : std::wstring();
    const ULONG bytes = mixer.hasInterfaceName ? static_cast<ULONG>((name.size() + 1) * sizeof(wchar_t)) : 0;
    switch (message) {
    case DRV_QUERYDEVICEINTERFACESIZE:
        if (!param1)
            return MMSYSERR_INVALPARAM;
        *reinterpret_cast<ULONG*>(param1) = bytes;
        return MMSYSERR_NOERROR;
    case DRV_QUERYDEVICEINTERFACE:
        if (!param1 || bytes == 0 || param2 < bytes)
            return MMSYSERR_INVALPARAM;
        memcpy(reinterpret_cast<void*>(param1), name.c_str(), bytes);
        return MMSYSERR_NOERROR;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

// Not a winmm function: how many mixer handles this process holds, so a test
// can see that a handle opened on the way was closed again.
UINT WINAPI rk50simOpenMixerCount(void)
{
    std::lock_guard<std::mutex> guard(mixersLock);
    return static_cast<UINT>(openMixers.size());
}

}  // extern "C"
