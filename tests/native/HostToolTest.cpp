// rk50host's logic that needs no Windows call: its command line, WAV files,
// and the click search of the loopback measurement.
#include "tools/rk50host/CommandLine.h"
#include "tools/rk50host/Signals.h"
#include "tools/rk50host/WavFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace rk50host;

namespace {

TEST(HostCommandLine, AcceptsAndRefuses)
{
    const struct {
        std::vector<const char*> args;
        bool ok;
        Command command;
    } cases[] = {
        {{"info"}, true, Command::Info},
        {{"info", "--driver", "Other"}, true, Command::Info},
        {{"info", "--bits", "24"}, false, Command::None},
        {{"loopback", "--rate", "96000", "--bits", "32", "--buffer", "128", "--seconds", "20"}, true, Command::Loopback},
        {{"loopback", "--record", "in.wav"}, true, Command::Loopback},
        {{"play", "a.wav"}, true, Command::Play},
        {{"play", "--tone", "440"}, true, Command::Play},
        {{"play"}, false, Command::None},
        {{"play", "a.wav", "--tone", "440"}, false, Command::None},
        {{"record"}, false, Command::None},
        {{"record", "out.wav", "extra.wav"}, false, Command::None},
        {{"loopback", "--bits", "20"}, false, Command::None},
        {{"loopback", "--rate", "fast"}, false, Command::None},
        {{"loopback", "--seconds"}, false, Command::None},
        {{"stream"}, false, Command::None},
        {{}, false, Command::None},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"rk50host"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        CommandLine line;
        const char* why = nullptr;
        const bool ok = parseCommandLine(static_cast<int>(argv.size()), argv.data(), line, &why);
        std::string joined;
        for (const char* a : c.args)
            joined += std::string(a) + " ";
        EXPECT_EQ(ok, c.ok) << joined << (why ? why : "");
        if (ok)
            EXPECT_EQ(line.command, c.command) << joined;
        else
            EXPECT_NE(why, nullptr) << joined;
    }
    CommandLine line;
    const char* argv[] = {"rk50host", "loopback", "--rate", "44100", "--bits", "24", "--buffer", "512"};
    ASSERT_TRUE(parseCommandLine(8, argv, line, nullptr));
    EXPECT_EQ(line.rate, 44100);
    EXPECT_EQ(line.bits, 24);
    EXPECT_EQ(line.bufferFrames, 512);
}

TEST(HostWavFile, RoundTripsEachWidth)
{
    const std::vector<std::int32_t> samples = {0x12345678, -0x7F000000, 0x00010000, 0x7FFFFF00, 0, -1};
    for (int bits : {16, 24, 32}) {
        const std::string path = "rk50host_test_" + std::to_string(bits) + ".wav";
        ASSERT_TRUE(writeWavFile(path.c_str(), 44100, 2, bits, samples));
        WavAudio audio;
        const char* why = nullptr;
        ASSERT_TRUE(readWavFile(path.c_str(), audio, &why)) << (why ? why : "");
        std::remove(path.c_str());
        EXPECT_EQ(audio.rate, 44100u);
        EXPECT_EQ(audio.channels, 2);
        EXPECT_EQ(audio.bits, bits);
        ASSERT_EQ(audio.samples.size(), samples.size());
        const std::uint32_t kept = bits == 32 ? 0xFFFFFFFFu : ~((1u << (32 - bits)) - 1);
        for (std::size_t i = 0; i < samples.size(); ++i)
            EXPECT_EQ(static_cast<std::uint32_t>(audio.samples[i]), static_cast<std::uint32_t>(samples[i]) & kept)
                << bits << " bits, sample " << i;
    }
}

TEST(HostWavFile, RefusesWhatItCannotPlay)
{
    std::uint8_t header[44];
    buildWavHeader(header, 48000, 2, 16, 8);
    std::vector<std::uint8_t> good(header, header + 44);
    good.resize(52, 0x11);
    WavAudio audio;
    ASSERT_TRUE(parseWav(good.data(), good.size(), audio, nullptr));
    EXPECT_EQ(audio.frames(), 2u);

    struct Case {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {{"not RIFF", 0, 'X'},       {"float format", 20, 3}, {"three channels", 22, 3},
                          {"8-bit samples", 34, 8},   {"bad block align", 32, 5}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bad = good;
        bad[c.offset] = c.value;
        const char* why = nullptr;
        EXPECT_FALSE(parseWav(bad.data(), bad.size(), audio, &why)) << c.what;
        EXPECT_NE(why, nullptr) << c.what;
    }
    // Truncated data is read as far as it goes, never past the end.
    std::vector<std::uint8_t> truncated(good.begin(), good.begin() + 48);
    ASSERT_TRUE(parseWav(truncated.data(), truncated.size(), audio, nullptr));
    EXPECT_EQ(audio.frames(), 1u);
    for (std::size_t size = 0; size < 44; ++size)
        EXPECT_FALSE(parseWav(good.data(), size, audio, nullptr)) << size;
}

TEST(HostClicks, FindsTheRoundTrip)
{
    const std::uint64_t interval = 1000, offset = 100;
    const struct {
        long delay;
        bool found;
    } cases[] = {{0, true}, {1, true}, {2345, true}, {-50, true}, {5000, false}};
    for (const auto& c : cases) {
        std::vector<std::int32_t> recorded(5000, 0);
        for (std::size_t n = 0; n < recorded.size(); ++n) {
            const long sent = static_cast<long>(n) - c.delay;
            if (sent >= 0)
                recorded[n] = clickSample(static_cast<std::uint64_t>(sent), interval, offset);
        }
        const LatencyResult result = findClickLatency(recorded, interval, offset);
        EXPECT_EQ(result.found, c.found) << c.delay;
        if (c.found) {
            EXPECT_EQ(result.latencyFrames, c.delay);
            EXPECT_GE(result.clicksFound, 2) << c.delay;
            EXPECT_EQ(result.clicksOff, 0) << c.delay;
        }
    }
    // A stray spike elsewhere is reported, not taken for the train.
    std::vector<std::int32_t> recorded(5000, 0);
    recorded[300] = recorded[1300] = recorded[2300] = 0x40000000;
    recorded[2900] = 0x7FFFFFFF;
    const LatencyResult result = findClickLatency(recorded, interval, offset);
    EXPECT_EQ(result.latencyFrames, 200);
    EXPECT_EQ(result.clicksFound, 3);
    EXPECT_EQ(result.clicksOff, 1);
}

TEST(HostSignals, ToneHasItsPeriodAndLevel)
{
    // 1000 Hz at 48 kHz repeats every 48 samples and peaks at half scale.
    std::int32_t peak = 0;
    for (std::uint64_t n = 0; n < 48; ++n) {
        EXPECT_NEAR(toneSample(1000, 48000, n), toneSample(1000, 48000, n + 48), 2) << n;
        peak = std::max(peak, toneSample(1000, 48000, n));
    }
    EXPECT_NEAR(peak, 0x40000000, 0x40000);
}

}  // namespace
