// Reading a USB vendor id, product id and interface number out of a device
// name such as \\?\USB#VID_3A5C&PID_0050&MI_01#7&1A2B&0&0001#{...}.
#pragma once

#include <cstdint>

namespace rk50 {

constexpr std::uint16_t kUsbIdUnknown = 0xFF;

// Every output starts at 0xFF. Each of "VID_", "PID_" and "MI_" is searched
// for from the start of the name, in any case; the first one missing ends the
// parse with false, keeping what was read before it. An id is read only when
// all of its 4 (MI_: 2) characters are hexadecimal digits; otherwise it stays
// 0xFF, so that a short or malformed tag never reads as a smaller number.
bool ParseUsbIds(const char* name, std::uint16_t& vendorId, std::uint16_t& productId,
                 std::uint16_t& interfaceNumber);
bool ParseUsbIds(const wchar_t* name, std::uint16_t& vendorId, std::uint16_t& productId,
                 std::uint16_t& interfaceNumber);

}  // namespace rk50
