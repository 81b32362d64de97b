#pragma once

namespace rk50 {

// Sends WM_COMMAND(code) to the control panel's main window, found by its
// title, and waits until the panel has handled it. No window: nothing happens.
void notifyPanel(unsigned code);

}  // namespace rk50
