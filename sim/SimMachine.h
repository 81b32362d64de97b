// The machine the simulator presents, read from the file named by
// RK50SIM_CONFIG (the built-in default machine without the variable).
#pragma once

#include "MachineConfig.h"

#include <windows.h>

namespace rk50sim {

constexpr char kConfigVariable[] = "RK50SIM_CONFIG";

// Reads the configuration again; called whenever a program counts devices.
void reloadMachine();

// A copy of the current machine (loaded on first use) as programs see it:
// while the converter is unplugged, without its devices and instances.
Machine currentMachine();
// The machine file's behaviour settings, without the control block's overrides.
Behaviour machineBehaviour();

// The device of a direction by wave device id; false when there is none.
bool findDevice(Direction direction, UINT id, WaveDevice& device);
UINT deviceCount(Direction direction);

}  // namespace rk50sim
