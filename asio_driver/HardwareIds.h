// Reading the converter's USB identity out of device-interface paths such as
// \\?\USB#VID_3A5C&PID_0050&MI_00#6&1A2B3C4&0&0000#{...}\GLOBAL.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk50 {

constexpr std::uint16_t kUnknownId = 0xFF;

struct HardwareIds {
    std::uint16_t vendorId = kUnknownId;
    std::uint16_t productId = kUnknownId;
    std::uint16_t interfaceNumber = kUnknownId;
};

// Each tag is searched for in the whole path, case-insensitively; the parse
// stops at the first missing tag of VID_, PID_, MI_. An id keeps 0xFF when its tag is missing or
// fewer characters than its digits follow the tag.
HardwareIds parseHardwareIds(const wchar_t* path);
HardwareIds parseHardwareIds(const char* path);

enum class PortDirection { Input, Output };

struct DeviceTableRow {
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint16_t interfaceNumber;  // 0xFF matches any interface
};

constexpr int kDeviceTableRows = 16;
extern const DeviceTableRow deviceTable[kDeviceTableRows];
extern const int deviceTableRowCount;

// Index of the first matching row (the port index), or -1.
int matchDeviceTable(PortDirection direction, const HardwareIds& ids);

// Turns an ANSI interface path without its \\?\ prefix into a device instance
// id in place: upper case, the first two '#' become '\', the third ends it.
// Any '#' missing leaves the empty string.
void interfaceTailToInstanceId(char* text);

}  // namespace rk50
