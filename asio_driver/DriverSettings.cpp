#include "DriverSettings.h"

namespace rk50 {

const double kSupportedRates[kSupportedRateCount] = {
    44100.0, 48000.0, 96000.0, 22050.0, 8000.0, 11025.0, 16000.0, 32000.0, 88200.0,
};

bool isSupportedSampleRate(double rate)
{
    for (double supported : kSupportedRates) {
        if (rate == supported)
            return true;
    }
    return false;
}

double storedRateToSampleRate(std::uint32_t stored)
{
    double rate = static_cast<double>(stored);
    return isSupportedSampleRate(rate) ? rate : kDefaultSampleRate;
}

int normalizedSampleBits(int bits)
{
    return (bits == 16 || bits == 24 || bits == 32) ? bits : kDefaultSampleBits;
}

bool isFixedBufferSizeInRange(int frames)
{
    return frames >= kMinBufferFrames && frames <= kMaxBufferFrames;
}

int automaticBufferFrames(double rate, int divisor)
{
    return static_cast<int>(rate) / divisor;
}

int roundDownToGranularity(int frames)
{
    return frames - frames % kBufferGranularity;
}

int bufferMillisFor(int frames, double rate)
{
    return static_cast<int>(frames * 1000.0 / rate);
}

void splitSamplePosition(double frames, std::uint32_t& hi, std::uint32_t& lo)
{
    constexpr double kTwoTo32 = 4294967296.0;
    if (frames >= kTwoTo32) {
        hi = static_cast<std::uint32_t>(frames / kTwoTo32);
        lo = static_cast<std::uint32_t>(frames - hi * kTwoTo32);
    } else {
        hi = 0;
        lo = static_cast<std::uint32_t>(frames);
    }
}

}  // namespace rk50
