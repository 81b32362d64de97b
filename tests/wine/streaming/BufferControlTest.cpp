// createBuffers, disposeBuffers, start and stop of the simulator flavour on
// the built-in machine (one converter): limits, the host buffers, and the
// state the calls leave behind.
#include "TestHost.h"

#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

using rk50test::asioErrorName;

namespace {

class BufferControl : public rk50test::SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        useMachine(nullptr);
        initDriver();
    }
    bool isActive(bool input, long channel)
    {
        ASIOChannelInfo info = {};
        info.channel = channel;
        info.isInput = input ? ASIOTrue : ASIOFalse;
        EXPECT_EQ(asio_->getChannelInfo(&info), ASE_OK);
        return info.isActive != ASIOFalse;
    }
};

TEST_F(BufferControl, BufferSizeLimits)
{
    const struct {
        long frames;
        const char* result;
    } cases[] = {{127, "ASE_InvalidParameter"}, {128, "ASE_OK"}, {6144, "ASE_OK"}, {6145, "ASE_InvalidParameter"},
                 {0, "ASE_InvalidParameter"}, {-256, "ASE_InvalidParameter"}};
    for (const auto& c : cases) {
        EXPECT_EQ(asioErrorName(createBuffers({0, 1}, {0, 1}, c.frames)), c.result) << c.frames;
        EXPECT_EQ(isActive(false, 0), std::string(c.result) == "ASE_OK") << c.frames;
        EXPECT_EQ(asio_->disposeBuffers(), ASE_OK);
    }
}

TEST_F(BufferControl, TwentyFourBitHalvesAndLatencies)
{
    release();
    setProfileBits(24);
    initDriver();
    ASSERT_EQ(asioErrorName(createBuffers({0, 1}, {0, 1}, 256)), "ASE_OK");
    for (const ASIOBufferInfo& info : infos_) {
        ASSERT_NE(info.buffers[0], nullptr);
        EXPECT_EQ(static_cast<BYTE*>(info.buffers[1]) - static_cast<BYTE*>(info.buffers[0]), 768)
            << (info.isInput ? "input " : "output ") << info.channelNum;
    }
    long input = 0, output = 0;
    EXPECT_EQ(asio_->getLatencies(&input, &output), ASE_OK);
    EXPECT_EQ(input, 256);
    EXPECT_EQ(output, 512);
    rk50test::StatusView block;
    ASSERT_NE(block.get(), nullptr);
    EXPECT_EQ(block->bufferSize, 256);
    EXPECT_EQ(block->activeInputs, 2);
    EXPECT_EQ(block->activeOutputs, 2);
    EXPECT_EQ(asio_->disposeBuffers(), ASE_OK);
    EXPECT_EQ(block->bufferSize, 0);
    EXPECT_EQ(block->activeInputs, 0);
    EXPECT_EQ(block->activeOutputs, 0);
}

TEST_F(BufferControl, HalvesFollowTheWidth)
{
    // Half 1 starts one half of host samples into the channel's memory.
    const struct {
        int bits;
        long frames;
        std::ptrdiff_t apart;
    } cases[] = {{16, 128, 256}, {24, 6144, 18432}, {32, 512, 2048}};
    for (const auto& c : cases) {
        release();
        setProfileBits(c.bits);
        initDriver();
        ASSERT_EQ(asioErrorName(createBuffers({1}, {0}, c.frames)), "ASE_OK") << c.bits;
        for (const ASIOBufferInfo& info : infos_)
            EXPECT_EQ(static_cast<BYTE*>(info.buffers[1]) - static_cast<BYTE*>(info.buffers[0]), c.apart) << c.bits;
        // The whole allocation is the host's to write: two halves of 4-byte samples.
        memset(infos_[0].buffers[0], 0x5A, 8 * c.frames);
    }
}

TEST_F(BufferControl, SecondCreateBuffersIsRefused)
{
    ASSERT_EQ(createBuffers({0}, {0}, 512), ASE_OK);
    const std::vector<ASIOBufferInfo> first = infos_;
    EXPECT_EQ(asioErrorName(createBuffers({1}, {1}, 256)), "ASE_InvalidParameter");
    EXPECT_TRUE(isActive(true, 0)) << "the first buffers stay";
    EXPECT_FALSE(isActive(true, 1));
    long input = 0, output = 0;
    asio_->getLatencies(&input, &output);
    EXPECT_EQ(input, 512) << "nothing changed";
}

TEST_F(BufferControl, BadChannelEntriesFreeEverything)
{
    const struct {
        const char* what;
        std::vector<long> inputs;
        std::vector<long> outputs;
    } cases[] = {
        {"input channel 2 of one port", {0, 2}, {0}},
        {"output channel 2 after good ones", {0, 1}, {0, 1, 2}},
        {"negative output channel", {}, {-1}},
        {"three inputs for two channels", {0, 1, 0}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(asioErrorName(createBuffers(c.inputs, c.outputs, 256)), "ASE_InvalidParameter") << c.what;
        for (long channel : {0L, 1L}) {
            EXPECT_FALSE(isActive(true, channel)) << c.what;
            EXPECT_FALSE(isActive(false, channel)) << c.what;
        }
        // Nothing is left half-made: a good request succeeds next.
        EXPECT_EQ(asioErrorName(createBuffers({0, 1}, {0, 1}, 256)), "ASE_OK") << c.what;
        EXPECT_EQ(asio_->disposeBuffers(), ASE_OK);
    }
}

TEST_F(BufferControl, MissingCallbacksAreRefused)
{
    const ASIOCallbacks full = callbacks_;
    struct Case {
        const char* what;
        bool nullRecord;
        ASIOCallbacks callbacks;
    };
    ASIOCallbacks noMessage = full;
    noMessage.asioMessage = nullptr;
    ASIOCallbacks noSwitch = full;
    noSwitch.bufferSwitch = nullptr;
    const Case cases[] = {{"no record", true, full}, {"no asioMessage", false, noMessage},
                          {"no bufferSwitch", false, noSwitch}};
    ASIOBufferInfo infos[2] = {{ASIOTrue, 0, {nullptr, nullptr}}, {ASIOFalse, 0, {nullptr, nullptr}}};
    for (const Case& c : cases) {
        ASIOCallbacks callbacks = c.callbacks;
        EXPECT_EQ(asioErrorName(asio_->createBuffers(infos, 2, 256, c.nullRecord ? nullptr : &callbacks)),
                  "ASE_InvalidParameter")
            << c.what;
        EXPECT_FALSE(isActive(true, 0)) << c.what;
        EXPECT_EQ(asioErrorName(asio_->start()), "ASE_NotPresent") << c.what;
    }
}

TEST_F(BufferControl, StartWithoutBuffersIsMarkedYetRefused)
{
    rk50test::PanelWindowStub panel;
    ASSERT_NE(panel.window(), nullptr);
    rk50test::StatusView block;
    ASSERT_NE(block.get(), nullptr);
    EXPECT_EQ(asioErrorName(asio_->start()), "ASE_NotPresent");
    EXPECT_EQ(block->streaming, 1);
    EXPECT_EQ(panel.commands(), std::vector<unsigned>{ASIOWM_START});
    EXPECT_EQ(asio_->stop(), ASE_OK);
    EXPECT_EQ(block->streaming, 0);
}

TEST_F(BufferControl, StartTwiceAndStopTwice)
{
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 256), ASE_OK);
    ASSERT_EQ(asioErrorName(asio_->start()), "ASE_OK");
    ASSERT_TRUE(waitForSwitches(4, 5000));
    EXPECT_EQ(asioErrorName(asio_->start()), "ASE_OK");
    const int before = host_.switches.load();
    EXPECT_TRUE(waitForSwitches(before + 8, 5000)) << "still streaming after the second start";
    EXPECT_EQ(asio_->stop(), ASE_OK);
    const int stopped = host_.switches.load();
    Sleep(100);
    EXPECT_EQ(host_.switches.load(), stopped) << "no switch after stop";
    EXPECT_EQ(asio_->stop(), ASE_OK);
    // The same buffers stream again.
    ASSERT_EQ(asioErrorName(asio_->start()), "ASE_OK");
    EXPECT_TRUE(waitForSwitches(stopped + 4, 5000));
}

TEST_F(BufferControl, RingsAreEmptyAndSilentAfterStop)
{
    ASSERT_EQ(createBuffers({0, 1}, {0, 1}, 512), ASE_OK);
    for (long frame = 0; frame < 2 * 512; ++frame) {
        static_cast<short*>(infos_[2].buffers[0])[frame] = 0x1234;
        static_cast<short*>(infos_[3].buffers[0])[frame] = 0x5678;
    }
    rk50test::RingView out("Varnel_RK50_ASIO_Out_0");
    rk50test::RingView in("Varnel_RK50_ASIO_In_0");
    ASSERT_TRUE(out.ok() && in.ok());
    ASSERT_EQ(asio_->start(), ASE_OK);
    ASSERT_TRUE(waitForSwitches(6, 5000));
    EXPECT_FALSE(out.allSilent()) << "the host's samples reached the output ring";
    ASSERT_EQ(asio_->stop(), ASE_OK);
    for (const rk50test::RingView* ring : {&out, &in}) {
        EXPECT_EQ(ring->readIndex(), 0);
        EXPECT_EQ(ring->writeIndex(), 0);
        EXPECT_EQ(ring->count(), 0);
        EXPECT_TRUE(ring->allSilent());
    }
}

TEST_F(BufferControl, OnlyTheDirectionWithBuffersStreams)
{
    const struct {
        const char* what;
        std::vector<long> inputs;
        std::vector<long> outputs;
    } cases[] = {{"outputs only", {}, {0, 1}}, {"inputs only", {0, 1}, {}}, {"left output only", {}, {0}}};
    for (const auto& c : cases) {
        host_.switches = 0;
        ASSERT_EQ(createBuffers(c.inputs, c.outputs, 256), ASE_OK) << c.what;
        rk50test::RingView out("Varnel_RK50_ASIO_Out_0");
        rk50test::RingView in("Varnel_RK50_ASIO_In_0");
        ASSERT_EQ(asio_->start(), ASE_OK) << c.what;
        ASSERT_TRUE(waitForSwitches(10, 5000)) << c.what;
        // An unopened port's ring never moves; an open one has gone round.
        const bool outputOpen = out.count() != 0 || out.writeIndex() != 0;
        const bool inputOpen = in.writeIndex() != 0 || in.readIndex() != 0 || in.count() != 0;
        EXPECT_EQ(outputOpen, !c.outputs.empty()) << c.what;
        EXPECT_EQ(inputOpen, !c.inputs.empty()) << c.what;
        EXPECT_EQ(asio_->disposeBuffers(), ASE_OK);
    }
}

}  // namespace
