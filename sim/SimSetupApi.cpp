// The part of SetupAPI the driver's friendly-name lookup uses, answering from
// the machine's friendly-name table instead of the device tree.
#define _SETUPAPI_  // these are the definitions of the functions setupapi would export

#include "SimMachine.h"

#include <windows.h>
#include <setupapi.h>

#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace {

// {6994AD04-93EF-11D0-A3CC-00A0C9223196}
const GUID kKsCategoryAudio = {0x6994ad04, 0x93ef, 0x11d0, {0xa3, 0xcc, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};
// {4D36E96C-E325-11CE-BFC1-08002BE10318}
const GUID kMediaClass = {0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

struct DeviceSet {
    std::vector<rk50sim::FriendlyName> members;
};

std::mutex setsLock;
std::set<DeviceSet*> sets;

DeviceSet* findSet(HDEVINFO handle)
{
    std::lock_guard<std::mutex> guard(setsLock);
    auto it = sets.find(static_cast<DeviceSet*>(handle));
    return it == sets.end() ? nullptr : *it;
}

// The member a SP_DEVINFO_DATA from SetupDiEnumDeviceInfo stands for.
const rk50sim::FriendlyName* memberOf(DeviceSet* set, const SP_DEVINFO_DATA* data)
{
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || data->Reserved == 0 ||
        data->Reserved > set->members.size())
        return nullptr;
    return &set->members[data->Reserved - 1];
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND, DWORD flags)
{
    if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DeviceSet* set = new DeviceSet;
    // Every simulated device instance carries one audio interface.
    const bool audio = (flags & DIGCF_ALLCLASSES) ||
                       ((flags & DIGCF_DEVICEINTERFACE) && IsEqualGUID(*classGuid, kKsCategoryAudio));
    if (audio) {
        const rk50sim::Machine machine = rk50sim::currentMachine();
        for (const rk50sim::FriendlyName& entry : machine.friendlyNames) {
            if (!enumerator || !enumerator[0] || lstrcmpiA(entry.instanceId.c_str(), enumerator) == 0)
                set->members.push_back(entry);
        }
    }
    std::lock_guard<std::mutex> guard(setsLock);
    sets.insert(set);
    return set;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA data)
{
    DeviceSet* set = findSet(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (index >= set->members.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->ClassGuid = kMediaClass;
    data->DevInst = index + 1;
    data->Reserved = index + 1;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA data, DWORD property,
                                              PDWORD type, PBYTE buffer, DWORD bufferSize,
                                              PDWORD requiredSize)
{
    DeviceSet* set = findSet(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const rk50sim::FriendlyName* member = memberOf(set, data);
    if (!member) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (property != SPDRP_FRIENDLYNAME || !member->hasName) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const DWORD needed = static_cast<DWORD>(member->name.size() + 1);
    if (requiredSize)
        *requiredSize = needed;
    if (type)
        *type = REG_SZ;
    if (!buffer || bufferSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, member->name.c_str(), needed);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle)
{
    DeviceSet* set = nullptr;
    {
        std::lock_guard<std::mutex> guard(setsLock);
        auto it = sets.find(static_cast<DeviceSet*>(handle));
        if (it != sets.end()) {
            set = *it;
            sets.erase(it);
        }
    }
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete set;
    return TRUE;
}

}  // extern "C"
