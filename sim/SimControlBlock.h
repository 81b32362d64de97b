// The simulator's control block: a named shared-memory mapping through which
// another process (a test, rk50simctl, the demo) drives the simulated
// converter while programs use it, and reads what it did.
//
// Every field is a 32-bit value or a fixed char array, so the layout is the
// same for 32-bit and 64-bit programs sharing one block. The first process
// that opens the mapping creates it zeroed and writes the magic; a zero field
// always means "the default". The mapping lives while any process holds it.
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
    kSourceTone = 2,        // 997 Hz sine at half of full scale, both channels
    kSourceCounting = 3,    // sample k since the first start carries k mod 2^validBits
    kSourceLoopback = 4,    // what the converter played, after the loopback delay
};

struct ControlBlock {
    DWORD magic;
    LONG unplugged;            // nonzero: the converter is removed
    LONG recordSource;         // RecordSource
    LONG loopbackDelayFrames;  // 0: the machine file's delay (1000 frames by default)
    // Fault injection: the failCallAfter-th wave call (counted from when this
    // was written, over every wave function that takes a handle or opens one)
    // returns failResult instead of doing its work; once, then failCallAfter
    // is back to 0. 0 = never.
    LONG failCallAfter;
    LONG failResult;
    LONG waveCallsSinceFailSet;
    // Counters over every converter port, since the block was created or
    // last reset.
    LONG blocksPlayed;         // wave-out headers completed by the clock
    LONG blocksRecorded;       // wave-in headers filled by the clock
    LONG blocksDropped;        // input frames that passed with no header queued, in blocks
    LONG generation;           // incremented on every plug or unplug
    LONG faultsInjected;       // wave calls failed by fault injection
    LONG reserved[15];
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

// Reads a field written by other processes.
LONG readField(volatile LONG& field);

// Counts one wave call that takes or opens a handle; true when fault
// injection says this call fails, with the result to return.
bool injectedFault(MMRESULT& result);

}  // namespace rk50sim
