#include "InfoReport.h"

#include "AsioErrorNames.h"

namespace rk50host {

namespace {

const double kProbedRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};

}  // namespace

int printDriverInfo(IASIO* driver, FILE* out)
{
    char name[33] = "";
    driver->getDriverName(name);
    fprintf(out, "driver name:      %s\n", name);
    fprintf(out, "driver version:   %ld\n", driver->getDriverVersion());

    ASIOBool initialized = driver->init(nullptr);
    char message[129] = "";
    driver->getErrorMessage(message);
    fprintf(out, "init:             %s\n", initialized ? "succeeded" : "failed");
    fprintf(out, "error message:    %s\n", message);

    long inputs = 0, outputs = 0;
    ASIOError status = driver->getChannels(&inputs, &outputs);
    fprintf(out, "channels:         %ld in, %ld out (%s)\n", inputs, outputs, asioErrorName(status));

    long inputLatency = 0, outputLatency = 0;
    status = driver->getLatencies(&inputLatency, &outputLatency);
    fprintf(out, "latencies:        %ld in, %ld out frames (%s)\n", inputLatency, outputLatency,
            asioErrorName(status));

    long minimum = 0, maximum = 0, preferred = 0, granularity = 0;
    status = driver->getBufferSize(&minimum, &maximum, &preferred, &granularity);
    fprintf(out, "buffer sizes:     min %ld, max %ld, preferred %ld, granularity %ld (%s)\n",
            minimum, maximum, preferred, granularity, asioErrorName(status));

    ASIOSampleRate rate = 0;
    status = driver->getSampleRate(&rate);
    fprintf(out, "sample rate:      %.0f Hz (%s)\n", rate, asioErrorName(status));
    fprintf(out, "rates accepted:  ");
    for (double probed : kProbedRates) {
        if (driver->canSampleRate(probed) == ASE_OK)
            fprintf(out, " %.0f", probed);
    }
    fprintf(out, "\n");

    ASIOClockSource clocks[4] = {};
    long clockCount = 4;
    status = driver->getClockSources(clocks, &clockCount);
    fprintf(out, "clock sources:    %ld (%s)\n", clockCount, asioErrorName(status));
    for (long i = 0; status == ASE_OK && i < clockCount && i < 4; ++i) {
        fprintf(out, "  [%ld] %s%s\n", clocks[i].index, clocks[i].name,
                clocks[i].isCurrentSource ? " (current)" : "");
    }

    for (long isInput = 1; isInput >= 0; --isInput) {
        long count = isInput ? inputs : outputs;
        for (long channel = 0; channel < count; ++channel) {
            ASIOChannelInfo info = {};
            info.channel = channel;
            info.isInput = isInput;
            status = driver->getChannelInfo(&info);
            fprintf(out, "  %s %ld: %s type %ld%s (%s)\n", isInput ? "input" : "output", channel,
                    info.name, info.type, info.isActive ? " active" : "", asioErrorName(status));
        }
    }
    return initialized ? 0 : 1;
}

}  // namespace rk50host
