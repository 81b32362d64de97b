// The simulator's control block: a named shared-memory mapping through which
// another process (a test, rk50simctl, the demo) drives the simulated
// converter while programs use it, and reads what it did.
//
// Every field is a 32-bit value or a fixed char array, so the layout is the
// same for 32-bit and 64-bit programs sharing one block. The first process
// that opens the mapping creates it zeroed and writes the magic; a zero field
// always means "the default".
#pragma once

#include <windows.h>

#include <cstddef>

namespace rk50sim {

constexpr char kControlBlockName[] = "RK50SIM_Control";
constexpr DWORD kControlMagic = 0x53354B52;  // "RK5S"

// What the converter's inputs record.
enum RecordSource : LONG {
    kSourceFromConfig = 0,  // whatever the machine file says (silence by default)
    kSourceSilence = 1,
    kSourceTone = 2,        // 997 Hz sine at -6 dBFS, both channels
    kSourceCounting = 3,    // every sample slot carries a running 16/24-bit count
    kSourceLoopback = 4,    // what the converter played, after loopbackDelayFrames
};

struct ControlBlock {
    DWORD magic;
    LONG unplugged;            // nonzero: the converter is removed
    LONG recordSource;         // RecordSource
    LONG loopbackDelayFrames;  // 0: the default delay
    // Fault injection: the failCallAfter-th wave call (counted from when this
    // was written, over every wave function that takes a handle or opens one)
    // returns failResult instead of doing its work. 0 = never.
    LONG failCallAfter;
    LONG failResult;
    LONG waveCallsSinceFailSet;
    // Counters since the block was created, for every converter port.
    LONG blocksPlayed;         // wave-out headers completed by the clock
    LONG blocksRecorded;       // wave-in headers filled by the clock
    LONG blocksDropped;        // input frames that passed with no header queued, in blocks
    LONG generation;           // incremented on every plug or unplug
    LONG reserved[16];
    char captureWavPath[260];  // non-empty: what the converter plays is written there
};

static_assert(offsetof(ControlBlock, captureWavPath) == 108, "control block layout");
static_assert(sizeof(ControlBlock) == 368, "control block layout");

}  // namespace rk50sim

namespace rk50sim {

// This process's view of the block, created on first use.
ControlBlock& controlBlock();

// False while the converter is unplugged.
bool converterPlugged();

}  // namespace rk50sim
