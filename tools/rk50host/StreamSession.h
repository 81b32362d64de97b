// One streaming run of an ASIO driver as a host does it: rate and width set,
// buffers created for both stereo directions, a fixed span of streaming, and
// what came back. The width is set through the status block, as the control
// panel does, so the driver's getChannelInfo takes it.
#pragma once

#include "WavFile.h"

#include "asio_driver/AsioInterface.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace rk50host {

enum class OutputSignal { Silence, Tone, Clicks, File };

struct StreamSettings {
    double rate = 48000;
    int bits = 0;          // 16, 24 or 32; 0 keeps the driver's
    long bufferFrames = 0; // 0: the driver's preferred size
    double seconds = 3;
    OutputSignal signal = OutputSignal::Silence;
    double toneHz = 997;
    const WavAudio* playFile = nullptr;
    bool record = true;
};

struct StreamReport {
    double rate = 0;
    int bits = 0;
    long bufferFrames = 0;
    long inputLatency = 0;
    long outputLatency = 0;
    long switches = 0;
    long switchesDue = 0;
    long lateSwitches = 0;  // more than one block period behind the device clock
    long lostBlocks = 0;    // due and never received
    double seconds = 0;
    double threadCpuSeconds = -1;  // the driver's streaming thread; -1 unknown
    std::uint64_t clickInterval = 0;
    std::uint64_t clickOffset = 0;
    std::vector<std::int32_t> recorded;  // interleaved stereo, left-justified
};

class StreamSession {
public:
    explicit StreamSession(IASIO* driver) : driver_(driver) {}

    // Streams as set; false with a message on stderr when the driver refuses.
    bool run(const StreamSettings& settings, StreamReport& report);

private:
    bool prepare(const StreamSettings& settings, StreamReport& report);

    IASIO* driver_;
};

void printStreamReport(const StreamReport& report, FILE* out);

}  // namespace rk50host
