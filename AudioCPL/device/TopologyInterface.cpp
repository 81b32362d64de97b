#include "TopologyInterface.h"

#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>

namespace rk50 {

namespace {

// {DDA54A40-1E4C-11D1-A050-405705C10000}
const GUID kKsCategoryTopology = {0xdda54a40, 0x1e4c, 0x11d1, {0xa0, 0x50, 0x40, 0x57, 0x05, 0xc1, 0x00, 0x00}};

// Service names are short; a property that claims more than this is not ours.
constexpr DWORD kMaxServiceBytes = 1024;
constexpr DWORD kInstanceIdChars = 260;
constexpr DWORD kDetailBytes = 2048;

class DeviceSet {
public:
    explicit DeviceSet(HDEVINFO set) : set_(set) {}
    ~DeviceSet()
    {
        if (valid())
            SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;
    bool valid() const { return set_ && set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

bool serviceMatches(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    char buffer[kMaxServiceBytes] = {};
    DWORD size = 64;
    for (;;) {
        DWORD required = 0;
        DWORD type = 0;
        if (SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_SERVICE, &type,
                                              reinterpret_cast<BYTE*>(buffer), size - 1, &required))
            break;
        // Grow to what the call asks for, within a bound.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required < size || required >= kMaxServiceBytes)
            return false;
        size = required + 1;
    }
    // Our own terminator, in case the stored value lacks one.
    buffer[size - 1] = '\0';
    return strcmp(buffer, kDriverServiceName) == 0;
}

bool readInstanceId(HDEVINFO set, SP_DEVINFO_DATA& device, char (&instanceId)[kInstanceIdChars])
{
    DWORD required = 0;
    SetupDiGetDeviceInstanceIdA(set, &device, nullptr, 0, &required);
    if (required == 0 || required > kInstanceIdChars)
        return false;
    return SetupDiGetDeviceInstanceIdA(set, &device, instanceId, kInstanceIdChars, nullptr) != FALSE;
}

bool firstInterfacePath(const char* instanceId, char (&path)[kDevicePathChars])
{
    DeviceSet set(SetupDiGetClassDevsA(&kKsCategoryTopology, instanceId, nullptr, DIGCF_DEVICEINTERFACE));
    if (!set.valid())
        return false;
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof interfaceData;
    if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kKsCategoryTopology, 0, &interfaceData))
        return false;
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set.get(), &interfaceData, nullptr, 0, &required, nullptr);
    if (required == 0 || required > kDetailBytes)
        return false;
    union {
        SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
        char bytes[kDetailBytes];
    } buffer;
    buffer.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.get(), &interfaceData, &buffer.detail, kDetailBytes, nullptr,
                                          nullptr))
        return false;
    const char* devicePath = buffer.detail.DevicePath;
    const std::size_t room = kDetailBytes - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    // A cut path would name some other object: refuse it.
    const std::size_t length = strnlen(devicePath, room);
    if (length == 0 || length >= kDevicePathChars)
        return false;
    memcpy(path, devicePath, length + 1);
    return true;
}

}  // namespace

bool FindTopologyInterface(char (&path)[kDevicePathChars])
{
    path[0] = '\0';
    char instanceId[kInstanceIdChars] = "";
    {
        DeviceSet set(SetupDiGetClassDevsA(&kKsCategoryTopology, nullptr, nullptr,
                                           DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        if (!set.valid())
            return false;
        bool found = false;
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof device;
        for (DWORD index = 0; !found && SetupDiEnumDeviceInfo(set.get(), index, &device); ++index)
            found = serviceMatches(set.get(), device);
        if (!found || !readInstanceId(set.get(), device, instanceId))
            return false;
    }
    if (!firstInterfacePath(instanceId, path)) {
        path[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace rk50
