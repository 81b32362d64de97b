/* The control functions rk50sim.dll exports beside the wave and SetupAPI
 * calls, for programs that drive the simulated converter (tests, rk50simctl).
 * They act on the shared control block "RK50SIM_Control", so a change made in
 * one process is seen by every process using the simulator. */
#pragma once

#include <windows.h>
#include <mmsystem.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Record sources, as stored in the control block. */
enum {
    RK50SIM_SOURCE_CONFIG = 0, /* the machine file's source */
    RK50SIM_SOURCE_SILENCE = 1,
    RK50SIM_SOURCE_TONE = 2,
    RK50SIM_SOURCE_COUNTING = 3,
    RK50SIM_SOURCE_LOOPBACK = 4
};

typedef struct RK50SIM_COUNTERS {
    LONG blocksPlayed;
    LONG blocksRecorded;
    LONG blocksDropped;
    LONG generation;
    LONG faultsInjected;
    LONG plugged; /* 1 or 0 */
} RK50SIM_COUNTERS;

/* Plugs (TRUE) or unplugs (FALSE) the converter; returns whether it was
 * plugged before. Every change of state advances the generation. */
BOOL WINAPI rk50simSetPlugged(BOOL plugged);
void WINAPI rk50simReadCounters(RK50SIM_COUNTERS* counters);
/* Zeroes the played, recorded, dropped and injected counters. */
void WINAPI rk50simResetCounters(void);
/* Source for the recordings from the next block on; a delay of 0 keeps the
 * machine file's. FALSE for an unknown source or a delay out of range. */
BOOL WINAPI rk50simSetSource(LONG source, LONG loopbackDelayFrames);
/* The n-th wave call from now (n >= 1) returns result; n = 0 disarms. */
BOOL WINAPI rk50simFailCall(LONG n, MMRESULT result);
/* Where what the converter plays is kept; NULL or "" returns to the machine
 * file's. FALSE for a path of 260 bytes or more. */
BOOL WINAPI rk50simSetCapture(LPCSTR path);
/* The sample-clock frame at which frame 0 of an open stream played (output,
 * counting its frames back to back) or was recorded (input: the first
 * waveInStart). MMSYSERR_INVALHANDLE for an unknown handle, WAVERR_UNPREPARED
 * when the stream has not started. */
MMRESULT WINAPI rk50simStreamClock(HANDLE wave, LONGLONG* clockFrame);

#ifdef __cplusplus
}
#endif
