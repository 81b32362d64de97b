// The part of SetupAPI the driver's friendly-name lookup and the panel's
// topology search use, answering from the machine description instead of the
// device tree. The interface functions are in SimTopology.cpp.
#define _SETUPAPI_  // these are the definitions of the functions setupapi would export

#include "SimDeviceSets.h"
#include "SimMachine.h"

#include <windows.h>
#include <setupapi.h>

#include <cstring>
#include <vector>

namespace {

// {6994AD04-93EF-11D0-A3CC-00A0C9223196}
const GUID kKsCategoryAudio = {0x6994ad04, 0x93ef, 0x11d0, {0xa3, 0xcc, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};
// {4D36E96C-E325-11CE-BFC1-08002BE10318}
const GUID kMediaClass = {0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

using rk50sim::DeviceSet;
using rk50sim::SetMember;
using rk50sim::findSet;

// The member a SP_DEVINFO_DATA from SetupDiEnumDeviceInfo stands for.
const SetMember* memberOf(DeviceSet* set, const SP_DEVINFO_DATA* data)
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
            if (!enumerator || !enumerator[0] || lstrcmpiA(entry.instanceId.c_str(), enumerator) == 0) {
                SetMember member;
                member.instanceId = entry.instanceId;
                member.hasFriendlyName = entry.hasName;
                member.friendlyName = entry.name;
                set->members.push_back(member);
            }
        }
    }
    const bool topology = (flags & DIGCF_ALLCLASSES) ||
                          ((flags & DIGCF_DEVICEINTERFACE) && IsEqualGUID(*classGuid, rk50sim::kKsCategoryTopology));
    if (topology)
        rk50sim::addTopologyMembers(enumerator, *set);
    return rk50sim::addSet(set);
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
    const SetMember* member = memberOf(set, data);
    if (!member) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string* value = nullptr;
    if (property == SPDRP_FRIENDLYNAME && member->hasFriendlyName)
        value = &member->friendlyName;
    else if (property == SPDRP_SERVICE && member->hasService)
        value = &member->service;
    if (!value) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const DWORD needed = static_cast<DWORD>(value->size() + 1);
    if (requiredSize)
        *requiredSize = needed;
    if (type)
        *type = REG_SZ;
    if (!buffer || bufferSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, value->c_str(), needed);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle)
{
    if (!rk50sim::removeSet(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
