// Diagnostic lines about the panel's token elevation, for the debugger output.
#pragma once

namespace rk50 {

void LogElevation();

}  // namespace rk50
