// Opening the wave mixer that the converter's driver presents on the
// converter's audio interface.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace rk50 {

// Opens the first mixer whose interface name carries the converter's vendor
// id, product id and audio interface number and whose capabilities can be
// read, with its notifications going to window. Null when none qualifies or
// it cannot be opened.
HMIXER OpenDeviceMixer(HWND window);

}  // namespace rk50
