// The data path, byte for byte: what the host writes reaches the converter in
// the device's frame layout, and what the converter records reaches the host,
// at each host width. The simulator keeps what it played (a WAV file) and can
// record a counting pattern.
#include "SimControl.h"
#include "TestHost.h"

#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr long kFrames = 512;
constexpr std::size_t kCaptureHeaderBytes = 68;

// The host's sample for switch n (from 1), frame i, channel c, as a 32-bit
// value whose upper bytes are what narrower widths keep. Switch 1 frame 0
// carries the textbook values 0x1234 / 0x5678 (16 bits) and 0x11223344.
std::uint32_t hostValue(int n, long i, int c, int bits)
{
    if (n == 1 && i == 0) {
        if (bits == 16)
            return c == 0 ? 0x12340000u : 0x56780000u;
        return c == 0 ? 0x11223344u : 0x55667788u;
    }
    const std::uint32_t v = static_cast<std::uint32_t>(n) * 0x01000193u ^ static_cast<std::uint32_t>(i) * 0x9E3779B1u ^
                            (c ? 0xA5A5A5A5u : 0x5A5A5A5Au);
    return v | 0x00010100u;  // never silent in any width
}

void storeHost(std::uint8_t* at, int bits, std::uint32_t value)
{
    const int bytes = bits / 8;
    for (int b = 0; b < bytes; ++b)
        at[b] = static_cast<std::uint8_t>(value >> (8 * (4 - bytes + b)));
}

// The device bytes a host value becomes: 2 bytes at 16 bits, else the upper 3.
Bytes deviceBytes(int bits, std::uint32_t value)
{
    if (bits == 16)
        return {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 24)};
}

class DataPath : public rk50test::SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        useMachine(nullptr);
        capturePath_ = rk50test::tempFilePath(("rk50_played_" + std::to_string(GetCurrentProcessId()) + ".wav").c_str());
        DeleteFileA(capturePath_.c_str());
        DeleteFileA((capturePath_ + ".csv").c_str());
    }
    void TearDown() override
    {
        if (sim_.setCapture) {
            sim_.setCapture(nullptr);
            sim_.setSource(RK50SIM_SOURCE_CONFIG, 0);
        }
        SimDriverTest::TearDown();
        DeleteFileA(capturePath_.c_str());
        DeleteFileA((capturePath_ + ".csv").c_str());
    }
    void start(int bits, const std::vector<long>& inputs, const std::vector<long>& outputs)
    {
        setProfileBits(bits);
        initDriver();
        ASSERT_TRUE(sim_.load());
        ASSERT_TRUE(sim_.setCapture(capturePath_.c_str()));
        ASSERT_EQ(asio_->setSampleRate(48000), ASE_OK);
        ASSERT_EQ(createBuffers(inputs, outputs, kFrames), ASE_OK);
        ASSERT_EQ(asio_->start(), ASE_OK);
    }

    rk50test::SimControl sim_;
    std::string capturePath_;
};

TEST_F(DataPath, HostOutputReachesTheConverterExactly)
{
    const struct {
        int bits;
        int blockAlign;
    } cases[] = {{16, 4}, {24, 6}, {32, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits");
        release();
        host_.switches = 0;
        host_.onSwitch = [this, bits = c.bits](long half, int n) {
            for (size_t ch = 0; ch < infos_.size(); ++ch) {
                std::uint8_t* buffer = static_cast<std::uint8_t*>(infos_[ch].buffers[half]);
                for (long i = 0; i < kFrames; ++i)
                    storeHost(buffer + i * (bits / 8), bits, hostValue(n, i, static_cast<int>(infos_[ch].channelNum), bits));
            }
        };
        DeleteFileA(capturePath_.c_str());
        start(c.bits, {}, {0, 1});
        ASSERT_TRUE(waitForSwitches(12, 10000));
        ASSERT_EQ(asio_->stop(), ASE_OK);
        host_.onSwitch = nullptr;
        sim_.setCapture(nullptr);

        const std::string file = rk50test::readTextFile(capturePath_);
        ASSERT_GT(file.size(), kCaptureHeaderBytes) << "nothing was played";
        const Bytes wav(file.begin(), file.end());
        // WAVE_FORMAT_EXTENSIBLE: block align at 32, container bits at 34.
        EXPECT_EQ(wav[32] | wav[33] << 8, c.blockAlign) << "the device format the ports were opened with";
        EXPECT_EQ(wav[34], c.bits == 16 ? 16 : 24);
        const Bytes played(wav.begin() + kCaptureHeaderBytes, wav.end());
        const std::size_t blockBytes = static_cast<std::size_t>(c.blockAlign) * kFrames;
        ASSERT_GE(played.size(), 9 * blockBytes);
        // 4 silent blocks queued by start, then the 2 silenced first blocks.
        for (std::size_t at = 0; at < 6 * blockBytes; ++at)
            ASSERT_EQ(played[at], 0) << "byte " << at << " of the first six blocks";
        // Then the host's blocks from its first switch on, in order.
        const int sample = c.bits == 16 ? 2 : 3;
        for (int n = 1; n <= 3; ++n) {
            const std::uint8_t* block = played.data() + (5 + n) * blockBytes;
            for (long i = 0; i < kFrames; ++i) {
                for (int ch = 0; ch < 2; ++ch) {
                    const Bytes expected = deviceBytes(c.bits, hostValue(n, i, ch, c.bits));
                    const Bytes actual(block + i * c.blockAlign + ch * sample, block + i * c.blockAlign + (ch + 1) * sample);
                    ASSERT_EQ(actual, expected) << "switch " << n << " frame " << i << " channel " << ch;
                }
            }
        }
        // The textbook frame: 0x1234 / 0x5678 and 0x11223344.
        const Bytes firstFrame(played.begin() + 6 * blockBytes, played.begin() + 6 * blockBytes + 4);
        if (c.bits == 16) {
            EXPECT_EQ(firstFrame, (Bytes{0x34, 0x12, 0x78, 0x56}));
        } else if (c.bits == 32) {
            EXPECT_EQ(Bytes(firstFrame.begin(), firstFrame.begin() + 3), (Bytes{0x33, 0x22, 0x11}));
        }
    }
}

TEST_F(DataPath, OnlyTheLeftOutputLeavesTheRightSilent)
{
    host_.onSwitch = [this](long half, int n) {
        std::uint8_t* buffer = static_cast<std::uint8_t*>(infos_[0].buffers[half]);
        for (long i = 0; i < kFrames; ++i)
            storeHost(buffer + 2 * i, 16, hostValue(n, i, 0, 16));
    };
    start(16, {}, {0});
    ASSERT_TRUE(waitForSwitches(12, 10000));
    ASSERT_EQ(asio_->stop(), ASE_OK);
    host_.onSwitch = nullptr;
    sim_.setCapture(nullptr);
    const std::string file = rk50test::readTextFile(capturePath_);
    ASSERT_GT(file.size(), kCaptureHeaderBytes + 9 * 4 * kFrames);
    long leftSounding = 0;
    for (std::size_t at = kCaptureHeaderBytes; at + 4 <= file.size(); at += 4) {
        ASSERT_EQ(file[at + 2], 0) << "right channel at byte " << at;
        ASSERT_EQ(file[at + 3], 0) << "right channel at byte " << at;
        if (file[at] || file[at + 1])
            ++leftSounding;
    }
    EXPECT_GT(leftSounding, 3 * kFrames / 2) << "the left channel carries the host's blocks";
}

TEST_F(DataPath, RecordedCountingPatternReachesTheHostExactly)
{
    for (int bits : {16, 24, 32}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        release();
        host_.switches = 0;
        const int hostBytes = bits / 8;
        std::vector<Bytes> received(2);
        const int wanted = 16;
        for (Bytes& channel : received)
            channel.assign(static_cast<std::size_t>(wanted) * kFrames * hostBytes, 0xEE);
        host_.onSwitch = [this, &received, hostBytes](long half, int n) {
            if (n > 16)
                return;
            for (const ASIOBufferInfo& info : infos_) {
                memcpy(received[info.channelNum].data() + (n - 1) * kFrames * hostBytes, info.buffers[half],
                       static_cast<std::size_t>(kFrames) * hostBytes);
            }
        };
        setProfileBits(bits);
        initDriver();
        ASSERT_TRUE(sim_.load());
        ASSERT_TRUE(sim_.setSource(RK50SIM_SOURCE_COUNTING, 0));
        ASSERT_EQ(asio_->setSampleRate(48000), ASE_OK);
        ASSERT_EQ(createBuffers({0, 1}, {}, kFrames), ASE_OK);
        ASSERT_EQ(asio_->start(), ASE_OK);
        ASSERT_TRUE(waitForSwitches(wanted + 1, 10000));
        ASSERT_EQ(asio_->stop(), ASE_OK);
        host_.onSwitch = nullptr;

        // Sample k alternates left and right from 0; the device has 16 or 24 bits.
        const int deviceBits = bits == 16 ? 16 : 24;
        const std::uint32_t mask = (1u << deviceBits) - 1;
        for (long frame = 0; frame < wanted * kFrames; ++frame) {
            for (int ch = 0; ch < 2; ++ch) {
                const std::uint32_t k = (2 * static_cast<std::uint32_t>(frame) + static_cast<std::uint32_t>(ch)) & mask;
                Bytes expected;
                if (bits == 32)
                    expected.push_back(0);
                for (int b = 0; b < deviceBits / 8; ++b)
                    expected.push_back(static_cast<std::uint8_t>(k >> (8 * b)));
                const std::uint8_t* at = received[ch].data() + frame * hostBytes;
                ASSERT_EQ(Bytes(at, at + hostBytes), expected) << "frame " << frame << " channel " << ch;
            }
        }
    }
}

}  // namespace
