// What the simulated converter records and keeps, byte by byte: the counting
// pattern, the tone, sample packing, the WAV header, the checksum and the
// loop-back line.
#include "sim/SimLoopback.h"
#include "sim/SimSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using rk50sim::PcmFormat;

namespace {

PcmFormat format(uint16_t container, uint16_t valid, uint32_t rate = 48000)
{
    PcmFormat f;
    f.rate = rate;
    f.containerBits = container;
    f.validBits = valid;
    return f;
}

TEST(SimSignal, CountingPatternPacksTheIndexInTheValidBits)
{
    struct Case {
        const char* what;
        PcmFormat format;
        uint64_t firstFrame;
        std::vector<uint8_t> bytes;  // the first two frames
    };
    const Case cases[] = {
        {"16 from 0", format(16, 16), 0, {0, 0, 1, 0, 2, 0, 3, 0}},
        {"24 from 0", format(24, 24), 0, {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0}},
        {"16 in 24: padding byte first", format(24, 16), 0, {0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0}},
        {"16 wraps at 2^16", format(16, 16), 32767, {0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0}},
        {"24 past 2^16", format(24, 24), 0x8000, {0, 0, 1, 1, 0, 1, 2, 0, 1, 3, 0, 1}},
        {"24 wraps at 2^24", format(24, 24), 0x7FFFFF, {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.bytes.size() + 1, 0xAA);
        rk50sim::fillCounting(out.data(), c.format, c.firstFrame, 2);
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end() - 1), c.bytes) << c.what;
        EXPECT_EQ(out.back(), 0xAA) << c.what << ": wrote past two frames";
    }
}

TEST(SimSignal, SamplesRoundTripWithTheirSign)
{
    for (const PcmFormat& f : {format(16, 16), format(24, 24), format(24, 16)}) {
        const int32_t top = (1 << (f.validBits - 1)) - 1;
        for (int32_t value : {0, 1, -1, top, -top - 1, 12345 % top}) {
            uint8_t bytes[3] = {};
            rk50sim::writeSample(bytes, f, value);
            EXPECT_EQ(rk50sim::readSample(bytes, f), value) << f.containerBits << "/" << f.validBits;
        }
    }
}

TEST(SimSignal, ToneIsTheSineOfTheFrameNumber)
{
    const PcmFormat f = format(24, 24, 44100);
    const uint64_t first = 10000000000ull;  // a long-running stream keeps its phase
    std::vector<uint8_t> out(100 * rk50sim::frameBytes(f));
    rk50sim::fillTone(out.data(), f, first, 100);
    const double amplitude = rk50sim::toneAmplitude(f);
    EXPECT_EQ(rk50sim::toneAmplitude(f), ((1 << 23) - 1) / 2);
    for (int n = 0; n < 100; ++n) {
        const double cycles = std::fmod(static_cast<double>((first + n) % 44100) * 997.0, 44100.0) / 44100.0;
        const long expected = std::lround(amplitude * std::sin(2 * 3.14159265358979323846 * cycles));
        EXPECT_EQ(rk50sim::readSample(&out[6 * n], f), expected) << n;
        EXPECT_EQ(rk50sim::readSample(&out[6 * n + 3], f), expected) << n << " right";
    }
}

TEST(SimSignal, WavHeaderRoundTripsAndRefusesOthers)
{
    const PcmFormat f = format(24, 16, 96000);
    uint8_t header[rk50sim::kWavHeaderBytes];
    rk50sim::buildWavHeader(f, 6000, header);
    EXPECT_EQ(memcmp(header, "RIFF", 4), 0);
    EXPECT_EQ(header[4] | header[5] << 8, 6060);
    EXPECT_EQ(header[32], 6) << "block align";
    EXPECT_EQ(header[38], 16) << "valid bits";
    PcmFormat read;
    uint32_t data = 0;
    ASSERT_TRUE(rk50sim::readWavHeader(header, sizeof header, read, data));
    EXPECT_TRUE(rk50sim::sameFormat(read, f));
    EXPECT_EQ(data, 6000u);

    EXPECT_FALSE(rk50sim::readWavHeader(header, sizeof header - 1, read, data)) << "short";
    const struct {
        const char* what;
        size_t at;
        uint8_t value;
    } broken[] = {{"not RIFF", 0, 'X'}, {"RIFF size off", 4, 0}, {"plain PCM tag", 20, 1},
                  {"mono", 22, 1},      {"32-bit", 34, 32},      {"other subformat", 44, 3}};
    for (const auto& b : broken) {
        uint8_t copy[rk50sim::kWavHeaderBytes];
        memcpy(copy, header, sizeof copy);
        copy[b.at] = b.value;
        EXPECT_FALSE(rk50sim::readWavHeader(copy, sizeof copy, read, data)) << b.what;
    }
}

TEST(SimSignal, Crc32AndPeaks)
{
    const char* check = "123456789";
    EXPECT_EQ(rk50sim::crc32(reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    EXPECT_EQ(rk50sim::crc32(reinterpret_cast<const uint8_t*>(check) + 4, 5,
                             rk50sim::crc32(reinterpret_cast<const uint8_t*>(check), 4)),
              0xCBF43926u)
        << "continued";

    const PcmFormat f = format(16, 16);
    uint8_t frames[12] = {};
    rk50sim::writeSample(frames + 0, f, 100);
    rk50sim::writeSample(frames + 2, f, -32768);
    rk50sim::writeSample(frames + 4, f, -300);
    rk50sim::writeSample(frames + 6, f, 5);
    const rk50sim::Peaks peak = rk50sim::peaks(frames, f, 3);
    EXPECT_EQ(peak.left, 300u);
    EXPECT_EQ(peak.right, 32768u);
}

TEST(LoopbackLine, ReadsWhatWasWrittenAtItsClockFrame)
{
    const PcmFormat f = format(16, 16);
    rk50sim::LoopbackLine line;
    std::vector<uint8_t> played(400);
    for (size_t i = 0; i < played.size(); ++i)
        played[i] = static_cast<uint8_t>(i + 1);
    line.write(f, 1000, played.data(), 100);

    std::vector<uint8_t> got(4 * 120, 0xAA);
    line.read(f, 990, got.data(), 120);
    for (size_t i = 0; i < 120; ++i) {
        const bool inside = i >= 10 && i < 110;
        for (size_t b = 0; b < 4; ++b)
            ASSERT_EQ(got[4 * i + b], inside ? played[4 * (i - 10) + b] : 0) << "frame " << 990 + i;
    }

    line.erase(1050, 2000);
    line.read(f, 1049, got.data(), 2);
    EXPECT_EQ(got[0], played[4 * 49]) << "before the erased part";
    EXPECT_EQ(got[4], 0) << "erased: never played";

    // A frame a whole ring later takes the slot; the old one reads as silence.
    line.write(f, 1000 + static_cast<int64_t>(rk50sim::LoopbackLine::kFrames), played.data(), 1);
    line.read(f, 1000, got.data(), 1);
    EXPECT_EQ(got[0], 0);

    std::vector<uint8_t> wide(6, 0xAA);
    line.read(format(24, 24), 1000 + static_cast<int64_t>(rk50sim::LoopbackLine::kFrames), wide.data(), 1);
    EXPECT_EQ(wide, std::vector<uint8_t>(6, 0)) << "another format reads silence";
}

}  // namespace
