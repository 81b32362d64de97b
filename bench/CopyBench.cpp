// How long processBlock's copy work takes per block: both input channels from
// the device frames to the host and both output channels back, at each host
// width and block size, as a share of the block period at each rate. A plain
// memcpy of the same bytes is measured beside it for scale.
#include "asio_driver/SampleCopy.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const double kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};

volatile std::uint8_t sink;

// Seconds per call of work, the best of several timed batches.
template <typename Work>
double secondsPerCall(Work work)
{
    using Clock = std::chrono::steady_clock;
    int calls = 16;
    for (;;) {
        const auto start = Clock::now();
        for (int i = 0; i < calls; ++i)
            work();
        if (Clock::now() - start > std::chrono::milliseconds(20))
            break;
        calls *= 2;
    }
    double best = 1e9;
    for (int batch = 0; batch < 7; ++batch) {
        const auto start = Clock::now();
        for (int i = 0; i < calls; ++i)
            work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count() / calls;
        if (seconds < best)
            best = seconds;
    }
    return best;
}

}  // namespace

int main()
{
    printf("| width | frames | copy per block (us) | memcpy of the same bytes (us) | worst share of the period (rate) | at 48 kHz | at 96 kHz |\n");
    printf("|---|---|---|---|---|---|---|\n");
    for (int bits : {16, 24, 32}) {
        for (int frames : {128, 512, 6144}) {
            const int deviceFrame = 2 * rk50::deviceSampleBytes(bits);
            const int hostSample = rk50::hostSampleBytes(bits);
            std::vector<std::uint8_t> inSlot(static_cast<size_t>(deviceFrame) * frames, 0x5A);
            std::vector<std::uint8_t> outSlot(inSlot.size(), 0);
            std::vector<std::uint8_t> host[4];
            for (auto& buffer : host)
                buffer.assign(static_cast<size_t>(hostSample) * frames, 0x33);
            const int sample = rk50::deviceSampleBytes(bits);
            const double copy = secondsPerCall([&] {
                rk50::copyDeviceToHost(inSlot.data(), host[0].data(), frames, bits);
                rk50::copyDeviceToHost(inSlot.data() + sample, host[1].data(), frames, bits);
                rk50::copyHostToDevice(host[2].data(), outSlot.data(), frames, bits);
                rk50::copyHostToDevice(host[3].data(), outSlot.data() + sample, frames, bits);
                sink = outSlot[static_cast<size_t>(frames) - 1] ^ host[1][0];
            });
            // The same bytes moved in bulk: both slots and all four host halves.
            std::vector<std::uint8_t> from(2 * inSlot.size() + 4 * host[0].size(), 1), to(from.size());
            const double bulk = secondsPerCall([&] {
                memcpy(to.data(), from.data(), from.size());
                sink = to[to.size() / 2];
            });
            double worst = 0;
            double worstRate = 0;
            for (double rate : kRates) {
                const double share = copy / (frames / rate);
                if (share > worst) {
                    worst = share;
                    worstRate = rate;
                }
            }
            printf("| %d | %d | %.2f | %.2f | %.4f %% (%.0f Hz) | %.4f %% | %.4f %% |\n", bits, frames, copy * 1e6,
                   bulk * 1e6, 100 * worst, worstRate, 100 * copy / (frames / 48000.0),
                   100 * copy / (frames / 96000.0));
        }
    }
    return 0;
}
