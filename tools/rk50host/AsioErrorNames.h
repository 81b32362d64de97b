#pragma once

namespace rk50host {

// "ASE_OK", "ASE_NotPresent" ... for messages; the number for unknown codes.
const char* asioErrorName(long code);

}  // namespace rk50host
