// rk50simctl: drives the converter simulator from another process through the
// control functions of rk50sim.dll (which act on the shared control block).
//
//   rk50simctl plug | unplug | counters | reset-counters
//   rk50simctl source silence|tone|counting|loopback|config [DELAY_FRAMES]
//   rk50simctl fail N RESULT      (RESULT: a number or an MMSYSERR_/WAVERR_ name; N 0 disarms)
//   rk50simctl capture PATH|-     (- returns to the machine file's capture)
//
// The block lives while some process holds it, so a change made here is seen
// by programs already using the simulator. Exit code 0 on success, 2 on a
// usage error.
#include "sim/rk50sim.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Named {
    const char* name;
    LONG value;
};

const Named kSources[] = {
    {"config", RK50SIM_SOURCE_CONFIG},     {"silence", RK50SIM_SOURCE_SILENCE},
    {"tone", RK50SIM_SOURCE_TONE},         {"counting", RK50SIM_SOURCE_COUNTING},
    {"loopback", RK50SIM_SOURCE_LOOPBACK},
};

const Named kResults[] = {
    {"MMSYSERR_NOERROR", MMSYSERR_NOERROR},         {"MMSYSERR_ERROR", MMSYSERR_ERROR},
    {"MMSYSERR_BADDEVICEID", MMSYSERR_BADDEVICEID}, {"MMSYSERR_NOTENABLED", MMSYSERR_NOTENABLED},
    {"MMSYSERR_ALLOCATED", MMSYSERR_ALLOCATED},     {"MMSYSERR_INVALHANDLE", MMSYSERR_INVALHANDLE},
    {"MMSYSERR_NODRIVER", MMSYSERR_NODRIVER},       {"MMSYSERR_NOMEM", MMSYSERR_NOMEM},
    {"MMSYSERR_NOTSUPPORTED", MMSYSERR_NOTSUPPORTED}, {"MMSYSERR_INVALFLAG", MMSYSERR_INVALFLAG},
    {"MMSYSERR_INVALPARAM", MMSYSERR_INVALPARAM},   {"MMSYSERR_HANDLEBUSY", MMSYSERR_HANDLEBUSY},
    {"WAVERR_BADFORMAT", WAVERR_BADFORMAT},         {"WAVERR_STILLPLAYING", WAVERR_STILLPLAYING},
    {"WAVERR_UNPREPARED", WAVERR_UNPREPARED},       {"WAVERR_SYNC", WAVERR_SYNC},
};

bool lookUp(const Named* table, size_t count, const char* text, LONG& value)
{
    for (size_t i = 0; i < count; ++i) {
        if (lstrcmpiA(table[i].name, text) == 0) {
            value = table[i].value;
            return true;
        }
    }
    return false;
}

bool parseNumber(const char* text, LONG& value)
{
    char* end = nullptr;
    const long parsed = strtol(text, &end, 0);
    if (!*text || *end || parsed < 0)
        return false;
    value = parsed;
    return true;
}

int usage()
{
    fprintf(stderr,
            "usage: rk50simctl plug | unplug | counters | reset-counters\n"
            "       rk50simctl source silence|tone|counting|loopback|config [DELAY_FRAMES]\n"
            "       rk50simctl fail N RESULT\n"
            "       rk50simctl capture PATH|-\n");
    return 2;
}

int printCounters()
{
    RK50SIM_COUNTERS counters = {};
    rk50simReadCounters(&counters);
    printf("played=%ld recorded=%ld dropped=%ld generation=%ld faults=%ld plugged=%ld\n", counters.blocksPlayed,
           counters.blocksRecorded, counters.blocksDropped, counters.generation, counters.faultsInjected,
           counters.plugged);
    return 0;
}

int setSource(int argc, char** argv)
{
    LONG source = 0;
    LONG delay = 0;
    if (argc < 3 || argc > 4 || !lookUp(kSources, sizeof kSources / sizeof kSources[0], argv[2], source) ||
        (argc == 4 && !parseNumber(argv[3], delay)))
        return usage();
    if (!rk50simSetSource(source, delay)) {
        fprintf(stderr, "rk50simctl: delay out of range\n");
        return 1;
    }
    return 0;
}

int failCall(int argc, char** argv)
{
    LONG n = 0;
    LONG result = 0;
    if (argc != 4 || !parseNumber(argv[2], n) ||
        !(lookUp(kResults, sizeof kResults / sizeof kResults[0], argv[3], result) || parseNumber(argv[3], result)))
        return usage();
    return rk50simFailCall(n, static_cast<MMRESULT>(result)) ? 0 : 1;
}

int setCapture(int argc, char** argv)
{
    if (argc != 3)
        return usage();
    const char* path = strcmp(argv[2], "-") == 0 ? "" : argv[2];
    if (!rk50simSetCapture(path)) {
        fprintf(stderr, "rk50simctl: path too long\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const char* command = argv[1];
    if (strcmp(command, "plug") == 0 || strcmp(command, "unplug") == 0) {
        if (argc != 2)
            return usage();
        rk50simSetPlugged(strcmp(command, "plug") == 0);
        return 0;
    }
    if (strcmp(command, "counters") == 0)
        return argc == 2 ? printCounters() : usage();
    if (strcmp(command, "reset-counters") == 0) {
        if (argc != 2)
            return usage();
        rk50simResetCounters();
        return 0;
    }
    if (strcmp(command, "source") == 0)
        return setSource(argc, argv);
    if (strcmp(command, "fail") == 0)
        return failCall(argc, argv);
    if (strcmp(command, "capture") == 0)
        return setCapture(argc, argv);
    return usage();
}
