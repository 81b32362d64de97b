#include "asio_driver/DriverSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(DriverSettings, AcceptsExactlyTheNineRates)
{
    for (double rate : {8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0,
                        96000.0})
        EXPECT_TRUE(rk50::isSupportedSampleRate(rate)) << rate;
    for (double rate : {0.0, -44100.0, 44100.5, 44099.999, 176400.0, 192000.0, 24000.0})
        EXPECT_FALSE(rk50::isSupportedSampleRate(rate)) << rate;
}

TEST(DriverSettings, StoredRatesFallBackToTheDefault)
{
    EXPECT_EQ(rk50::storedRateToSampleRate(0), 44100.0);
    EXPECT_EQ(rk50::storedRateToSampleRate(48000), 48000.0);
    EXPECT_EQ(rk50::storedRateToSampleRate(12345), 44100.0);
    EXPECT_EQ(rk50::storedRateToSampleRate(0xFFFFFFFFu), 44100.0);
}

TEST(DriverSettings, SampleWidthsOtherThan16_24_32AreTakenAs16)
{
    const int cases[][2] = {{16, 16}, {24, 24}, {32, 32}, {0, 16}, {8, 16}, {20, 16}, {-24, 16}};
    for (const auto& c : cases)
        EXPECT_EQ(rk50::normalizedSampleBits(c[0]), c[1]) << c[0];
}

TEST(DriverSettings, BufferSizeRules)
{
    // Automatic sizes on Windows XP (divisor 40) and Windows 7 (20).
    EXPECT_EQ(rk50::automaticBufferFrames(44100.0, 40), 1102);
    EXPECT_EQ(rk50::automaticBufferFrames(44100.0, 20), 2205);
    EXPECT_EQ(rk50::automaticBufferFrames(48000.0, 40), 1200);
    EXPECT_EQ(rk50::automaticBufferFrames(48000.0, 20), 2400);
    EXPECT_EQ(rk50::roundDownToGranularity(1000), 992);
    EXPECT_EQ(rk50::roundDownToGranularity(128), 128);
    EXPECT_EQ(rk50::roundDownToGranularity(6143), 6112);
    EXPECT_FALSE(rk50::isFixedBufferSizeInRange(127));
    EXPECT_TRUE(rk50::isFixedBufferSizeInRange(128));
    EXPECT_TRUE(rk50::isFixedBufferSizeInRange(6144));
    EXPECT_FALSE(rk50::isFixedBufferSizeInRange(6145));
    EXPECT_EQ(rk50::bufferMillisFor(6144, 44100.0), 139);
    EXPECT_EQ(rk50::bufferMillisFor(512, 48000.0), 10);
}

TEST(DriverSettings, SamplePositionSplitsAt2To32)
{
    struct Case {
        double frames;
        std::uint32_t hi, lo;
    };
    const Case cases[] = {
        {0.0, 0, 0},
        {512000.0, 0, 512000},
        {4294967295.0, 0, 0xFFFFFFFFu},
        {4294967296.0, 1, 0},
        {4294967296.0 + 5.0, 1, 5},
        {3.0 * 4294967296.0 + 7.5, 3, 7},
    };
    for (const Case& c : cases) {
        std::uint32_t hi = 99, lo = 99;
        rk50::splitSamplePosition(c.frames, hi, lo);
        EXPECT_EQ(hi, c.hi) << c.frames;
        EXPECT_EQ(lo, c.lo) << c.frames;
    }
}

}  // namespace
