// rk50host: a small ASIO host for trying the driver from the command line.
//   rk50host info                 what the driver reports before streaming
//   rk50host play FILE|--tone HZ  stream a WAV file or a tone to the outputs
//   rk50host record FILE          record the inputs to a WAV file
//   rk50host loopback             play a click train, find it in the inputs
//                                 and report the round trip in frames
#include "CommandLine.h"
#include "DriverLoader.h"
#include "InfoReport.h"
#include "Signals.h"
#include "StreamSession.h"
#include "WavFile.h"

#include <cstdio>

namespace {

int stream(IASIO* driver, const rk50host::CommandLine& line)
{
    using rk50host::Command;
    rk50host::StreamSettings settings;
    settings.rate = line.rate;
    settings.bits = line.bits;
    settings.bufferFrames = line.bufferFrames;
    settings.seconds = line.seconds;
    rk50host::WavAudio file;
    if (line.command == Command::Play) {
        if (line.playPath) {
            const char* why = "";
            if (!rk50host::readWavFile(line.playPath, file, &why)) {
                fprintf(stderr, "rk50host: %s: %s\n", line.playPath, why);
                return 2;
            }
            if (file.rate != static_cast<unsigned>(line.rate))
                fprintf(stderr, "rk50host: %s is at %u Hz, played at %.0f Hz\n", line.playPath, file.rate, line.rate);
            settings.signal = rk50host::OutputSignal::File;
            settings.playFile = &file;
        } else {
            settings.signal = rk50host::OutputSignal::Tone;
            settings.toneHz = line.toneHz;
        }
    } else if (line.command == Command::Loopback) {
        settings.signal = rk50host::OutputSignal::Clicks;
    }
    settings.record = line.command != Command::Play;

    rk50host::StreamSession session(driver);
    rk50host::StreamReport report;
    if (!session.run(settings, report))
        return 1;
    rk50host::printStreamReport(report, stdout);
    int result = report.lostBlocks == 0 ? 0 : 4;
    if (line.command == Command::Loopback) {
        std::vector<std::int32_t> left(report.recorded.size() / 2);
        for (std::size_t i = 0; i < left.size(); ++i)
            left[i] = report.recorded[2 * i];
        const rk50host::LatencyResult latency =
            rk50host::findClickLatency(left, report.clickInterval, report.clickOffset);
        if (latency.found) {
            printf("measured round trip: %ld frames (%.2f ms), %d clicks at that delay, %d elsewhere;"
                   " reported input + output: %ld frames\n",
                   latency.latencyFrames, 1000.0 * latency.latencyFrames / report.rate, latency.clicksFound,
                   latency.clicksOff, report.inputLatency + report.outputLatency);
        } else {
            printf("measured round trip: no click came back\n");
            result = 5;
        }
    }
    if (line.recordPath) {
        if (!rk50host::writeWavFile(line.recordPath, static_cast<std::uint32_t>(report.rate), 2,
                                    report.bits == 16 ? 16 : report.bits == 24 ? 24 : 32, report.recorded)) {
            fprintf(stderr, "rk50host: cannot write %s\n", line.recordPath);
            return 2;
        }
        printf("recorded %zu frames to %s\n", report.recorded.size() / 2, line.recordPath);
    }
    fflush(stdout);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    rk50host::CommandLine line;
    const char* why = "";
    if (!rk50host::parseCommandLine(argc, argv, line, &why)) {
        fprintf(stderr, "rk50host: %s\n%s", why, rk50host::kUsage);
        return 2;
    }
    rk50host::DriverLoader loader;
    if (!loader.load(line.driverName)) {
        fprintf(stderr, "rk50host: %s\n", loader.errorText());
        return 3;
    }
    int result = 0;
    if (line.command == rk50host::Command::Info)
        result = rk50host::printDriverInfo(loader.driver(), stdout);
    else
        result = stream(loader.driver(), line);
    fflush(stdout);
    return result;
}
