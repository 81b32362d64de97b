#pragma once

#include "asio_driver/AsioInterface.h"

#include <cstdio>

namespace rk50host {

// Prints everything a host learns from a driver before it creates buffers.
// Returns 0 when init succeeded, 1 when it did not.
int printDriverInfo(IASIO* driver, FILE* out);

}  // namespace rk50host
