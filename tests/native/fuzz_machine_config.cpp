// Machine descriptions are hand-written files; any text must parse or be
// refused without harm, and a refused text describes no machine.
#include "sim/MachineConfig.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const rk50sim::ParseResult result = rk50sim::parseMachine(text);
    if (!result.ok && (!result.machine.devices.empty() || result.errorLine <= 0))
        abort();
    if (result.ok && result.machine.devices.size() > rk50sim::kMaxDevices)
        abort();
    for (const auto& entry : result.machine.friendlyNames)
        result.machine.findInstance(entry.instanceId);
    return 0;
}
