#include "Elevation.h"

#include <windows.h>

namespace rk50 {

void LogElevation()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) {
        OutputDebugStringA(type == TokenElevationTypeDefault ? "Elevation Default\n"
                           : type == TokenElevationTypeFull  ? "Elevation Full\n"
                                                             : "Elevation Limited\n");
    }
    TOKEN_ELEVATION elevation = {};
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
        OutputDebugStringA(elevation.TokenIsElevated ? "Elevated!\n" : "NOT Elevated!\n");
    CloseHandle(token);
}

}  // namespace rk50
