// Streaming through the driver at each rate and buffer size, inputs and
// outputs active, for a fixed span: switches received against those due,
// blocks lost, and the streaming thread's CPU time as a share of wall time.
//   stream_bench [--seconds S] [--rate HZ] [--driver NAME]
// The span is S seconds (default 10) and at least 20 s for 128 frames.
#include "tools/rk50host/DriverLoader.h"
#include "tools/rk50host/StreamSession.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    double seconds = 10;
    double onlyRate = 0;
    const char* driverName = "Varnel RK50 ASIO";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--seconds") == 0)
            seconds = atof(argv[i + 1]);
        else if (strcmp(argv[i], "--rate") == 0)
            onlyRate = atof(argv[i + 1]);
        else if (strcmp(argv[i], "--driver") == 0)
            driverName = argv[i + 1];
    }
    const double rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};
    printf("| rate | frames | span (s) | switches received | due | late | lost | streaming thread CPU |\n");
    printf("|---|---|---|---|---|---|---|---|\n");
    fflush(stdout);
    int failures = 0;
    for (double rate : rates) {
        if (onlyRate && rate != onlyRate)
            continue;
        for (long frames : {128L, 256L, 512L}) {
            // A fresh driver object per run, as a host that reopens it.
            rk50host::DriverLoader loader;
            if (!loader.load(driverName)) {
                fprintf(stderr, "stream_bench: %s\n", loader.errorText());
                return 3;
            }
            rk50host::StreamSettings settings;
            settings.rate = rate;
            settings.bits = 24;
            settings.bufferFrames = frames;
            settings.seconds = frames == 128 && seconds < 20 ? 20 : seconds;
            // Silence: the figures are the driver's, not a host's synthesis.
            settings.signal = rk50host::OutputSignal::Silence;
            settings.record = false;
            rk50host::StreamSession session(loader.driver());
            rk50host::StreamReport report;
            if (!session.run(settings, report)) {
                ++failures;
                continue;
            }
            printf("| %.0f | %ld | %.1f | %ld | %ld | %ld | %ld | %.2f %% |\n", rate, frames, report.seconds,
                   report.switches, report.switchesDue, report.lateSwitches, report.lostBlocks,
                   report.threadCpuSeconds >= 0 ? 100.0 * report.threadCpuSeconds / report.seconds : -1.0);
            fflush(stdout);
            if (report.lostBlocks)
                ++failures;
        }
    }
    return failures ? 1 : 0;
}
