#include "SimMachine.h"

#include "SimControlBlock.h"

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

namespace {

Machine loadedMachine()
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

// Unplugged, the converter's devices vanish and the others move up, as wave
// device ids do on Windows when a device is removed.
Machine withoutConverter(Machine full)
{
    Machine visible;
    visible.behaviour = full.behaviour;
    visible.access = full.access;  // endpoints, topology and mixers filter themselves
    for (const WaveDevice& device : full.devices) {
        if (!(device.hasPath && isConverterPath(device.interfacePath)))
            visible.devices.push_back(device);
    }
    for (const FriendlyName& entry : full.friendlyNames) {
        if (!isConverterPath(entry.instanceId))
            visible.friendlyNames.push_back(entry);
    }
    return visible;
}

}  // namespace

Machine currentMachine()
{
    Machine full = loadedMachine();
    return converterPlugged() ? full : withoutConverter(full);
}

Behaviour machineBehaviour()
{
    std::lock_guard<std::mutex> guard(machineLock);
    return loaded ? machine.behaviour : Behaviour{};
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
