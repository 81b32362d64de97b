// The buffer switches a host receives from the simulator flavour: pacing at
// each rate and width, halves, sample position, time info and time code.
#include "TestHost.h"

#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

using rk50test::asioErrorName;
using rk50test::SwitchRecord;

namespace {

class BufferSwitch : public rk50test::SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        useMachine(nullptr);
    }
    std::vector<SwitchRecord> records()
    {
        std::lock_guard<std::mutex> guard(host_.lock);
        return host_.records;
    }
};

TEST_F(BufferSwitch, StreamsAtEveryRateAndWidth)
{
    const double rates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};
    for (int bits : {16, 24, 32}) {
        release();
        setProfileBits(bits);
        initDriver();
        for (double rate : rates) {
            host_.switches = 0;
            ASSERT_EQ(asio_->setSampleRate(rate), ASE_OK);
            ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 256), ASE_OK);
            // A format the device refuses would fail the start.
            ASSERT_EQ(asioErrorName(asio_->start()), "ASE_OK") << bits << " bits at " << rate;
            EXPECT_TRUE(waitForSwitches(6, 5000)) << bits << " bits at " << rate;
            EXPECT_EQ(asio_->disposeBuffers(), ASE_OK);
        }
    }
}

TEST_F(BufferSwitch, ThousandSwitchesAlternateHalvesAndCountFrames)
{
    initDriver();
    ASSERT_EQ(asio_->setSampleRate(96000), ASE_OK);
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 512), ASE_OK);
    ASSERT_EQ(asio_->start(), ASE_OK);
    // 1000 blocks of 512 frames take 5.3 s at 96 kHz.
    ASSERT_TRUE(waitForSwitches(1000, 30000)) << host_.switches.load() << " switches";
    const std::vector<SwitchRecord> seen = records();
    ASSERT_GE(seen.size(), 1000u);
    for (size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(seen[i].half, static_cast<long>(i % 2)) << "switch " << i + 1;
        ASSERT_FALSE(seen[i].timeInfo) << "the host did not ask for time info";
        ASSERT_EQ(seen[i].positionLo, 512 * (i + 1)) << "switch " << i + 1;
    }
    EXPECT_EQ(seen[999].positionHi, 0u);
    EXPECT_EQ(seen[999].positionLo, 512000u);
}

TEST_F(BufferSwitch, TimeInfoAndTimeCode)
{
    host_.answerTimeInfo = true;
    initDriver();
    ASSERT_EQ(asio_->setSampleRate(48000), ASE_OK);
    EXPECT_EQ(asio_->future(kAsioEnableTimeCodeRead, nullptr), ASE_SUCCESS);
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 512), ASE_OK);
    ASSERT_EQ(asio_->start(), ASE_OK);
    ASSERT_TRUE(waitForSwitches(3, 5000));
    const std::vector<SwitchRecord> seen = records();
    ASSERT_TRUE(seen[0].timeInfo);
    EXPECT_EQ(seen[0].flags, static_cast<unsigned long>(kSystemTimeValid | kSamplePositionValid | kSampleRateValid));
    // 600 seconds ahead of the sample position.
    EXPECT_EQ(seen[0].timeCodeLo, 512u + 28800000u);
    EXPECT_EQ(seen[1].timeCodeLo, 1024u + 28800000u);
    EXPECT_EQ(seen[0].positionLo, 512u);
}

TEST_F(BufferSwitch, RateChangeIsCarriedByExactlyOneSwitch)
{
    host_.answerTimeInfo = true;
    initDriver();
    ASSERT_EQ(asio_->setSampleRate(48000), ASE_OK);
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 256), ASE_OK);
    ASSERT_EQ(asio_->start(), ASE_OK);
    ASSERT_TRUE(waitForSwitches(4, 5000));
    const int before = host_.switches.load();
    EXPECT_EQ(asio_->setSampleRate(44100), ASE_OK);
    EXPECT_EQ(host_.rateChanges.load(), 1);
    EXPECT_EQ(host_.resetRequests.load(), 1) << "the host is asked to reset";
    ASSERT_TRUE(waitForSwitches(before + 6, 5000)) << "the open ports keep streaming";
    int carrying = 0;
    for (const SwitchRecord& record : records()) {
        if (record.flags & kSampleRateChanged)
            ++carrying;
    }
    EXPECT_EQ(carrying, 1);
}

TEST_F(BufferSwitch, OutputsOnlyKeepPace)
{
    initDriver();
    ASSERT_EQ(asio_->setSampleRate(48000), ASE_OK);
    ASSERT_EQ(createBuffers({}, {0, 1}, 480), ASE_OK);
    ASSERT_EQ(asio_->start(), ASE_OK);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(waitForSwitches(5, 5000));
    Sleep(1000);
    const int switches = host_.switches.load();
    const double seconds = (GetTickCount() - start) / 1000.0;
    // 100 blocks a second; the queue of 4 lets the first ones come at once.
    EXPECT_LE(switches, static_cast<int>(seconds * 100) + 8) << "the device's clock paces the host";
    EXPECT_GE(switches, 20);
}

}  // namespace
