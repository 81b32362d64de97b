// The device information sets the simulated SetupAPI hands out: a snapshot
// of the machine's devices of one interface class, taken when the set is made.
#pragma once

#include "MachineDeviceAccess.h"

#include <windows.h>
#include <setupapi.h>

#include <string>
#include <vector>

namespace rk50sim {

struct SetMember {
    std::string instanceId;
    bool hasFriendlyName = false;
    std::string friendlyName;
    bool hasService = false;
    std::string service;
    bool isTopology = false;
    TopologyDevice::Interface interfaceKind = TopologyDevice::Interface::None;
};

struct DeviceSet {
    std::vector<SetMember> members;
};

// {DDA54A40-1E4C-11D1-A050-405705C10000}
const GUID kKsCategoryTopology = {0xdda54a40, 0x1e4c, 0x11d1, {0xa0, 0x50, 0x40, 0x57, 0x05, 0xc1, 0x00, 0x00}};

HDEVINFO addSet(DeviceSet* set);
// Null for a handle that is not a live set of ours.
DeviceSet* findSet(HDEVINFO handle);
bool removeSet(HDEVINFO handle);

// The topology devices present now, matching the instance id filter (any
// when empty); the converter's are gone while it is unplugged.
void addTopologyMembers(const char* instanceFilter, DeviceSet& set);

}  // namespace rk50sim
