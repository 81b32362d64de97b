// Sample conversion between the device's interleaved frames and the host's
// mono buffers, at each host width.
#include "asio_driver/SampleCopy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using rk50::copyDeviceToHost;
using rk50::copyHostToDevice;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Case {
    int bits;
    Bytes host;    // two host samples of the left channel
    Bytes device;  // two device frames, right channel untouched (0xEE)
};

// Host samples 0x1234 / 0x5678, 0x112233 / 0x445566, 0x11223344 / 0x55667788.
const Case kCases[] = {
    {16, {0x34, 0x12, 0x78, 0x56}, {0x34, 0x12, 0xEE, 0xEE, 0x78, 0x56, 0xEE, 0xEE}},
    {24, {0x33, 0x22, 0x11, 0x66, 0x55, 0x44},
     {0x33, 0x22, 0x11, 0xEE, 0xEE, 0xEE, 0x66, 0x55, 0x44, 0xEE, 0xEE, 0xEE}},
    {32, {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55},
     {0x33, 0x22, 0x11, 0xEE, 0xEE, 0xEE, 0x77, 0x66, 0x55, 0xEE, 0xEE, 0xEE}},
};

TEST(SampleCopy, HostToDeviceFillsOnlyItsChannel)
{
    for (const Case& c : kCases) {
        Bytes device(c.device.size(), 0xEE);
        copyHostToDevice(c.host.data(), device.data(), 2, c.bits);
        EXPECT_EQ(device, c.device) << c.bits << " bits";
    }
}

TEST(SampleCopy, DeviceToHostReadsOnlyItsChannel)
{
    for (const Case& c : kCases) {
        Bytes host(c.host.size(), 0xAA);
        copyDeviceToHost(c.device.data(), host.data(), 2, c.bits);
        Bytes expected = c.host;
        if (c.bits == 32) {
            // The device has 24 bits: the host's low byte comes back as 0.
            expected[0] = 0;
            expected[4] = 0;
        }
        EXPECT_EQ(host, expected) << c.bits << " bits";
    }
}

TEST(SampleCopy, RightChannelStartsOneDeviceSampleIn)
{
    // The caller offsets the device pointer; the stride must still be a frame.
    const Bytes frames = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Bytes host(4, 0);
    copyDeviceToHost(frames.data() + rk50::deviceSampleBytes(16), host.data(), 2, 16);
    EXPECT_EQ(host, (Bytes{3, 4, 7, 8}));
    Bytes host24(6, 0);
    copyDeviceToHost(frames.data() + rk50::deviceSampleBytes(24), host24.data(), 2, 24);
    EXPECT_EQ(host24, (Bytes{4, 5, 6, 10, 11, 12}));
}

TEST(SampleCopy, OtherWidthsCopyNothingAndStayInBounds)
{
    for (int bits : {0, 8, 20, 64, -16}) {
        Bytes host(8, 0xAA), device(12, 0xEE);
        copyHostToDevice(host.data(), device.data(), 2, bits);
        copyDeviceToHost(device.data(), host.data(), 2, bits);
        EXPECT_EQ(host, Bytes(8, 0xAA)) << bits;
        EXPECT_EQ(device, Bytes(12, 0xEE)) << bits;
        EXPECT_EQ(rk50::hostSampleBytes(bits), 0) << bits;
    }
}

TEST(SampleCopy, WholeLargestBlockRoundTrips)
{
    // 6144 frames at 32 bits: the host's upper 3 bytes survive, the low byte is 0.
    const int frames = 6144;
    Bytes host(4 * frames), device(6 * frames, 0), back(4 * frames, 0xFF);
    for (int i = 0; i < frames; ++i) {
        const std::uint32_t value = 0x9E3779B9u * static_cast<std::uint32_t>(i + 1);
        for (int b = 0; b < 4; ++b)
            host[4 * i + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    copyHostToDevice(host.data(), device.data(), frames, 32);
    copyDeviceToHost(device.data(), back.data(), frames, 32);
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(back[4 * i], 0) << i;
        ASSERT_EQ(Bytes(back.begin() + 4 * i + 1, back.begin() + 4 * i + 4),
                  Bytes(host.begin() + 4 * i + 1, host.begin() + 4 * i + 4)) << i;
    }
}

}  // namespace
