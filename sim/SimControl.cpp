// The exported control functions: thin writers and readers of the shared
// control block, so another process can do the same through the mapping.
#include "rk50sim.h"

#include "MachineConfig.h"
#include "SimControlBlock.h"

#include <cstring>

using rk50sim::ControlBlock;
using rk50sim::controlBlock;
using rk50sim::readField;

extern "C" {

BOOL WINAPI rk50simSetPlugged(BOOL plugged)
{
    ControlBlock& control = controlBlock();
    const LONG wanted = plugged ? 0 : 1;
    const LONG before = InterlockedExchange(&control.unplugged, wanted);
    if (before != wanted)
        InterlockedIncrement(&control.generation);
    return before == 0;
}

void WINAPI rk50simReadCounters(RK50SIM_COUNTERS* counters)
{
    if (!counters)
        return;
    ControlBlock& control = controlBlock();
    counters->blocksPlayed = readField(control.blocksPlayed);
    counters->blocksRecorded = readField(control.blocksRecorded);
    counters->blocksDropped = readField(control.blocksDropped);
    counters->generation = readField(control.generation);
    counters->faultsInjected = readField(control.faultsInjected);
    counters->plugged = readField(control.unplugged) == 0 ? 1 : 0;
}

void WINAPI rk50simResetCounters(void)
{
    ControlBlock& control = controlBlock();
    InterlockedExchange(&control.blocksPlayed, 0);
    InterlockedExchange(&control.blocksRecorded, 0);
    InterlockedExchange(&control.blocksDropped, 0);
    InterlockedExchange(&control.faultsInjected, 0);
}

BOOL WINAPI rk50simSetSource(LONG source, LONG loopbackDelayFrames)
{
    if (source < rk50sim::kSourceFromConfig || source > rk50sim::kSourceLoopback || loopbackDelayFrames < 0 ||
        loopbackDelayFrames > rk50sim::kMaxLoopbackDelayFrames)
        return FALSE;
    ControlBlock& control = controlBlock();
    InterlockedExchange(&control.loopbackDelayFrames, loopbackDelayFrames);
    InterlockedExchange(&control.recordSource, source);
    return TRUE;
}

BOOL WINAPI rk50simFailCall(LONG n, MMRESULT result)
{
    if (n < 0)
        return FALSE;
    ControlBlock& control = controlBlock();
    // Disarm first, so no call fails against a half-written request.
    InterlockedExchange(&control.failCallAfter, 0);
    InterlockedExchange(&control.failResult, static_cast<LONG>(result));
    InterlockedExchange(&control.waveCallsSinceFailSet, 0);
    InterlockedExchange(&control.failCallAfter, n);
    return TRUE;
}

BOOL WINAPI rk50simSetCapture(LPCSTR path)
{
    const size_t length = path ? strlen(path) : 0;
    ControlBlock& control = controlBlock();
    if (length >= sizeof control.captureWavPath)
        return FALSE;
    // Streams read the path per block; a reader seeing it half written would
    // only open a wrong file for one block, so a plain copy is enough.
    memset(control.captureWavPath, 0, sizeof control.captureWavPath);
    if (length)
        memcpy(control.captureWavPath, path, length);
    return TRUE;
}

}  // extern "C"
