// What the host sees when the converter misbehaves: a wave call failing
// during start, and the converter unplugged while streaming.
#include "SimControl.h"
#include "TestHost.h"

#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using rk50test::asioErrorName;

namespace {

class DeviceFault : public rk50test::SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        useMachine(nullptr);
        initDriver();
        ASSERT_TRUE(sim_.load());
    }
    void TearDown() override
    {
        if (sim_.setPlugged) {
            sim_.failCall(0, MMSYSERR_NOERROR);
            sim_.setPlugged(TRUE);
        }
        SimDriverTest::TearDown();
    }
    rk50test::SimControl sim_;
};

TEST_F(DeviceFault, WaveCallFailingDuringStartClosesEverything)
{
    // start's calls in order: waveOutOpen, 8 waveOutPrepareHeader, waveInOpen,
    // 8 times waveInPrepareHeader and waveInAddBuffer, waveInStart.
    const struct {
        const char* call;
        LONG n;
        MMRESULT result;
    } cases[] = {
        {"waveOutOpen", 1, MMSYSERR_ALLOCATED},      {"first waveOutPrepareHeader", 2, MMSYSERR_NOMEM},
        {"last waveOutPrepareHeader", 9, MMSYSERR_NOMEM}, {"waveInOpen", 10, MMSYSERR_BADDEVICEID},
        {"first waveInPrepareHeader", 11, MMSYSERR_NOMEM}, {"first waveInAddBuffer", 12, MMSYSERR_NOMEM},
        {"last waveInAddBuffer", 26, MMSYSERR_NOMEM},     {"waveInStart", 27, MMSYSERR_NODRIVER},
    };
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 256), ASE_OK);
    rk50test::RingView out("Varnel_RK50_ASIO_Out_0");
    rk50test::RingView in("Varnel_RK50_ASIO_In_0");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        ASSERT_TRUE(sim_.failCall(c.n, c.result));
        EXPECT_EQ(asioErrorName(asio_->start()), "ASE_NotPresent");
        RK50SIM_COUNTERS counters = {};
        sim_.readCounters(&counters);
        EXPECT_EQ(counters.faultsInjected, 1) << "the fault hit a call of start";
        sim_.resetCounters();
        // Nothing stays queued or counted, so the next start begins clean.
        EXPECT_EQ(out.count(), 0);
        EXPECT_EQ(in.count(), 0);
        EXPECT_EQ(in.writeIndex(), 0);
        const int before = host_.switches.load();
        ASSERT_EQ(asioErrorName(asio_->start()), "ASE_OK");
        EXPECT_TRUE(waitForSwitches(before + 4, 5000));
        ASSERT_EQ(asio_->stop(), ASE_OK);
    }
}

TEST_F(DeviceFault, UnplugWhileStreamingLeavesTheHostInCharge)
{
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 256), ASE_OK);
    ASSERT_EQ(asio_->start(), ASE_OK);
    ASSERT_TRUE(waitForSwitches(10, 5000));
    sim_.setPlugged(FALSE);
    Sleep(300);
    const int afterUnplug = host_.switches.load();
    Sleep(500);
    // At most the blocks already recorded are still handed out.
    EXPECT_LE(host_.switches.load(), afterUnplug + 8) << "switches stop without the converter";
    long inputs = 0, outputs = 0;
    EXPECT_EQ(asio_->getChannels(&inputs, &outputs), ASE_OK) << "the driver still answers";
    DWORD started = GetTickCount();
    EXPECT_EQ(asio_->stop(), ASE_OK);
    EXPECT_LT(GetTickCount() - started, 1500u) << "stop returns within about a second";

    // While unplugged, a start cannot open the ports.
    EXPECT_EQ(asioErrorName(asio_->start()), "ASE_NotPresent");

    sim_.setPlugged(TRUE);
    const int before = host_.switches.load();
    ASSERT_EQ(asioErrorName(asio_->start()), "ASE_OK") << "after the replug";
    EXPECT_TRUE(waitForSwitches(before + 10, 5000)) << "streams again";
    started = GetTickCount();
    EXPECT_EQ(asio_->stop(), ASE_OK);
    EXPECT_LT(GetTickCount() - started, 1500u);
}

}  // namespace
