// The rules by which the driver chooses its rate, sample width and preferred
// buffer size from the profile, the status block and the host's calls.
#pragma once

#include <cstdint>

namespace rk50 {

constexpr int kMinBufferFrames = 128;
constexpr int kMaxBufferFrames = 6144;
constexpr int kBufferGranularity = 32;
constexpr double kDefaultSampleRate = 44100.0;
constexpr int kDefaultSampleBits = 16;

constexpr int kSupportedRateCount = 9;
// In the order canSampleRate compares them.
extern const double kSupportedRates[kSupportedRateCount];

bool isSupportedSampleRate(double rate);

// A stored rate (profile or block). 0 means the default; so does any rate the
// driver would refuse in setSampleRate, since streaming could never open at it.
double storedRateToSampleRate(std::uint32_t stored);

// 16, 24 and 32 are kept; any other width is taken as 16.
int normalizedSampleBits(int bits);

bool isFixedBufferSizeInRange(int frames);

// The automatic preferred size: the rate truncated to whole Hz, integer-divided.
int automaticBufferFrames(double rate, int divisor);

// getBufferSize's use of the panel's fixed size: rounded down to the granularity.
int roundDownToGranularity(int frames);

// Duration of one buffer half in whole milliseconds, truncated.
int bufferMillisFor(int frames, double rate);

// getSamplePosition's split of the frame count into two 32-bit halves.
void splitSamplePosition(double frames, std::uint32_t& hi, std::uint32_t& lo);

}  // namespace rk50
