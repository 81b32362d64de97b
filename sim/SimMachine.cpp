#include "SimMachine.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace rk50sim {

namespace {

std::mutex machineLock;
Machine machine;
bool loaded = false;

Machine loadMachine()
{
    char path[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA(kConfigVariable, path, sizeof path);
    if (length == 0)
        return defaultMachine();
    if (length >= sizeof path) {
        OutputDebugStringA("rk50sim: RK50SIM_CONFIG is too long; no devices\n");
        return Machine{};
    }
    FILE* file = fopen(path, "rb");
    if (!file) {
        OutputDebugStringA("rk50sim: cannot read the RK50SIM_CONFIG file; no devices\n");
        return Machine{};
    }
    std::string text;
    char chunk[4096];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    fclose(file);
    ParseResult parsed = parseMachine(text);
    if (!parsed.ok) {
        // A half-understood machine would make tests pass for the wrong reason.
        char message[700];
        snprintf(message, sizeof message, "rk50sim: %s line %d: %s; no devices\n", path,
                 parsed.errorLine, parsed.error.c_str());
        OutputDebugStringA(message);
        return Machine{};
    }
    return parsed.machine;
}

}  // namespace

void reloadMachine()
{
    Machine fresh = loadMachine();
    std::lock_guard<std::mutex> guard(machineLock);
    machine = std::move(fresh);
    loaded = true;
}

Machine currentMachine()
{
    {
        std::lock_guard<std::mutex> guard(machineLock);
        if (loaded)
            return machine;
    }
    reloadMachine();
    std::lock_guard<std::mutex> guard(machineLock);
    return machine;
}

bool findDevice(Direction direction, UINT id, WaveDevice& device)
{
    const Machine snapshot = currentMachine();
    const std::vector<const WaveDevice*> devices = snapshot.devicesOf(direction);
    if (id >= devices.size())
        return false;
    device = *devices[id];
    return true;
}

UINT deviceCount(Direction direction)
{
    return static_cast<UINT>(currentMachine().devicesOf(direction).size());
}

}  // namespace rk50sim
