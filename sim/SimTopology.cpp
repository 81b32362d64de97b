// The converter's kernel-streaming topology devices as SetupAPI shows them,
// and their interfaces. So that the caller's own CreateFileA is the real one,
// each openable interface path names a file the simulator creates in
// %TEMP%\rk50sim-ks while the device is present (and deletes, when it can,
// once the converter is unplugged).
#define _SETUPAPI_  // these are the definitions of the functions setupapi would export

#include "SimControlBlock.h"
#include "SimDeviceSets.h"
#include "SimMachine.h"

#include <cstddef>
#include <cstring>
#include <mutex>
#include <set>

namespace rk50sim {

namespace {

std::mutex setsLock;
std::set<DeviceSet*> sets;

const char kInterfaceSuffix[] = "#{dda54a40-1e4c-11d1-a050-405705c10000}";

std::string folder(bool existing)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + (existing ? "rk50sim-ks\\" : "rk50sim-ks\\absent\\");
}

// Looks like an interface path: the instance id with '#' for '\', lower case,
// and the class, in the simulator's folder.
std::string interfacePath(const SetMember& member)
{
    std::string name;
    for (char c : member.instanceId) {
        if (c == '\\')
            c = '#';
        else if (strchr("<>:\"/|?*", c))
            c = '_';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        name += c;
    }
    const bool openable = member.interfaceKind == TopologyDevice::Interface::Openable;
    return "\\\\?\\" + folder(openable) + name + kInterfaceSuffix;
}

void createBackingFile(const std::string& path)
{
    CreateDirectoryA(folder(true).c_str(), nullptr);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

const SetMember* interfaceMember(DeviceSet* set, const SP_DEVICE_INTERFACE_DATA* data)
{
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
        data->Reserved > set->members.size())
        return nullptr;
    return &set->members[data->Reserved - 1];
}

}  // namespace

HDEVINFO addSet(DeviceSet* set)
{
    std::lock_guard<std::mutex> guard(setsLock);
    sets.insert(set);
    return set;
}

DeviceSet* findSet(HDEVINFO handle)
{
    std::lock_guard<std::mutex> guard(setsLock);
    auto it = sets.find(static_cast<DeviceSet*>(handle));
    return it == sets.end() ? nullptr : *it;
}

bool removeSet(HDEVINFO handle)
{
    DeviceSet* set = nullptr;
    {
        std::lock_guard<std::mutex> guard(setsLock);
        auto it = sets.find(static_cast<DeviceSet*>(handle));
        if (it == sets.end())
            return false;
        set = *it;
        sets.erase(it);
    }
    delete set;
    return true;
}

void addTopologyMembers(const char* instanceFilter, DeviceSet& set)
{
    reloadMachine();
    const Machine machine = currentMachine();
    const bool plugged = converterPlugged();
    for (const TopologyDevice& device : machine.access.topology) {
        SetMember member;
        member.instanceId = device.instanceId;
        member.hasService = device.hasService;
        member.service = device.service;
        member.isTopology = true;
        member.interfaceKind = device.interfaceKind;
        if (!plugged && belongsToConverter(device.instanceId)) {
            // A removed device's interface cannot be opened any more.
            DeleteFileA(interfacePath(member).c_str());
            continue;
        }
        if (instanceFilter && instanceFilter[0] && lstrcmpiA(device.instanceId.c_str(), instanceFilter) != 0)
            continue;
        set.members.push_back(member);
    }
}

}  // namespace rk50sim

extern "C" {

BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO handle, PSP_DEVINFO_DATA data, PSTR buffer, DWORD bufferSize,
                                        PDWORD requiredSize)
{
    rk50sim::DeviceSet* set = rk50sim::findSet(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || data->Reserved == 0 ||
        data->Reserved > set->members.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& id = set->members[data->Reserved - 1].instanceId;
    const DWORD needed = static_cast<DWORD>(id.size() + 1);
    if (requiredSize)
        *requiredSize = needed;
    if (!buffer || bufferSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, id.c_str(), needed);
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA device, const GUID* interfaceClass,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA data)
{
    rk50sim::DeviceSet* set = rk50sim::findSet(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!interfaceClass || !data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The index counts the interfaces of the class (of one device when given).
    DWORD seen = 0;
    for (std::size_t i = 0; i < set->members.size(); ++i) {
        const rk50sim::SetMember& member = set->members[i];
        if (device && device->Reserved != i + 1)
            continue;
        if (!member.isTopology || member.interfaceKind == rk50sim::TopologyDevice::Interface::None ||
            !IsEqualGUID(*interfaceClass, rk50sim::kKsCategoryTopology))
            continue;
        if (seen++ != index)
            continue;
        data->InterfaceClassGuid = rk50sim::kKsCategoryTopology;
        data->Flags = SPINT_ACTIVE;
        data->Reserved = i + 1;
        return TRUE;
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                             PDWORD requiredSize, PSP_DEVINFO_DATA device)
{
    rk50sim::DeviceSet* set = rk50sim::findSet(handle);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const rk50sim::SetMember* member = rk50sim::interfaceMember(set, data);
    if (!member) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string path = rk50sim::interfacePath(*member);
    const DWORD needed =
        static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize)
        *requiredSize = needed;
    if (detail && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    if (!detail || detailSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    if (member->interfaceKind == rk50sim::TopologyDevice::Interface::Openable)
        rk50sim::createBackingFile(path);
    if (device && device->cbSize == sizeof(SP_DEVINFO_DATA)) {
        device->DevInst = static_cast<DWORD>(data->Reserved);
        device->Reserved = data->Reserved;
    }
    return TRUE;
}

}  // extern "C"
