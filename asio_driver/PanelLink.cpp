#include "PanelLink.h"

#include "../shared/RK50Constants.h"

#include <windows.h>

namespace rk50 {

void notifyPanel(unsigned code)
{
    HWND panel = FindWindowA(nullptr, kPanelWindowTitle);
    if (!panel || panel == INVALID_HANDLE_VALUE)
        return;
    SendMessageA(panel, WM_COMMAND, static_cast<WPARAM>(code & 0xFFFF), 0);
}

}  // namespace rk50
