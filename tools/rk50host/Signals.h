// What the host plays and how it reads what came back: a tone, a click train
// and the search for the clicks in a recording. Samples are 32-bit with the
// audio in the upper bits. No Windows call.
#pragma once

#include <cstdint>
#include <vector>

namespace rk50host {

// A sine at -6 dBFS; sample n of the stream.
std::int32_t toneSample(double hz, double rate, std::uint64_t n);

// A click (one half-scale sample) every interval frames, the first at offset.
std::int32_t clickSample(std::uint64_t n, std::uint64_t interval, std::uint64_t offset);

struct LatencyResult {
    bool found = false;
    long latencyFrames = 0;  // input index of the first click minus its output index
    int clicksFound = 0;     // clicks in the recording at the same latency
    int clicksOff = 0;       // clicks found at another latency
};

// Finds the clicks of a click train (interval, offset) in recorded mono
// samples: every sample above a quarter of full scale starts a click.
LatencyResult findClickLatency(const std::vector<std::int32_t>& recorded, std::uint64_t interval,
                               std::uint64_t offset);

}  // namespace rk50host
