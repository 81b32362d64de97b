#pragma once

#include <windows.h>

namespace rk50 {

// The driver's class identifier; hosts also ask for it as the interface id.
extern const CLSID CLSID_VarnelRK50ASIO;

}  // namespace rk50
