#include "AsioErrorNames.h"

#include "asio_driver/AsioInterface.h"

#include <cstdio>

namespace rk50host {

const char* asioErrorName(long code)
{
    switch (code) {
    case ASE_OK: return "ASE_OK";
    case ASE_SUCCESS: return "ASE_SUCCESS";
    case ASE_NotPresent: return "ASE_NotPresent";
    case ASE_HWMalfunction: return "ASE_HWMalfunction";
    case ASE_InvalidParameter: return "ASE_InvalidParameter";
    case ASE_InvalidMode: return "ASE_InvalidMode";
    case ASE_SPNotAdvancing: return "ASE_SPNotAdvancing";
    case ASE_NoClock: return "ASE_NoClock";
    case ASE_NoMemory: return "ASE_NoMemory";
    default: {
        static char text[24];
        snprintf(text, sizeof text, "%ld", code);
        return text;
    }
    }
}

}  // namespace rk50host
