// The per-port ring of wave buffers, kept in a named page-file mapping so that
// its state can be inspected from outside the host process. The counts are
// changed only with interlocked operations.
#pragma once

#include <windows.h>

namespace rk50 {

constexpr int kRingSlots = 8;
constexpr int kRingSlotBytes = 49152;
constexpr int kMaxPorts = 2;

struct PortRing {
    LONG readIndex;
    LONG writeIndex;
    LONG count;
    BYTE slots[kRingSlots][kRingSlotBytes];
};

static_assert(sizeof(PortRing) == 393228, "ring mapping size");

struct PortRingMapping {
    HANDLE mapping = nullptr;
    PortRing* view = nullptr;
};

// One set per process: the driver supports one object per process.
extern PortRingMapping inputRings[kMaxPorts];
extern PortRingMapping outputRings[kMaxPorts];

// Opens the ring named name, or creates it, and maps it whole. False leaves
// ring empty.
bool openPortRing(const char* name, PortRingMapping& ring);
void closePortRing(PortRingMapping& ring);

}  // namespace rk50
