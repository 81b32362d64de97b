#include "Signals.h"

#include <cmath>

namespace rk50host {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::int32_t kHalfScale = 0x40000000;
constexpr std::int32_t kQuarterScale = 0x20000000;

}  // namespace

std::int32_t toneSample(double hz, double rate, std::uint64_t n)
{
    const double phase = 2.0 * kPi * hz * static_cast<double>(n) / rate;
    return static_cast<std::int32_t>(std::lround(std::sin(phase) * kHalfScale));
}

std::int32_t clickSample(std::uint64_t n, std::uint64_t interval, std::uint64_t offset)
{
    return n >= offset && (n - offset) % interval == 0 ? kHalfScale : 0;
}

LatencyResult findClickLatency(const std::vector<std::int32_t>& recorded, std::uint64_t interval,
                               std::uint64_t offset)
{
    LatencyResult result;
    if (interval == 0)
        return result;
    // A click heard through real converters rings for a few samples.
    const std::size_t ringing = interval / 4 < 64 ? interval / 4 : 64;
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        if (recorded[i] < kQuarterScale)
            continue;
        if (!result.found) {
            // The first click heard is the first one played: the train is
            // spaced wider than any round trip the driver can have.
            result.found = true;
            result.latencyFrames = static_cast<long>(static_cast<std::int64_t>(i) - static_cast<std::int64_t>(offset));
        }
        const std::int64_t sent = static_cast<std::int64_t>(i) - result.latencyFrames - static_cast<std::int64_t>(offset);
        if (sent >= 0 && sent % static_cast<std::int64_t>(interval) == 0)
            ++result.clicksFound;
        else
            ++result.clicksOff;
        i += ringing;
    }
    return result;
}

}  // namespace rk50host
