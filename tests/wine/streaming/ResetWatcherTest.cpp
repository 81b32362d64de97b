// A reset request written into the status block by another program reaches
// the host as kAsioResetRequest while buffers exist.
#include "TestHost.h"

#include <gtest/gtest.h>

namespace {

class ResetWatcher : public rk50test::SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        useMachine(nullptr);
        initDriver();
    }
    // Waits up to timeoutMs for the request to be taken.
    bool waitForRequestTaken(const rk50test::StatusView& block, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            if (block->resetRequest == 0 && host_.resetRequests.load() > 0)
                return true;
            Sleep(10);
        }
        return false;
    }
};

TEST_F(ResetWatcher, RequestWithBuffersReachesTheHostOnce)
{
    ASSERT_EQ(createBuffers({0}, {0}, 256), ASE_OK);
    rk50test::StatusView block;
    ASSERT_NE(block.get(), nullptr);
    block->resetRequest = 1;
    // The watcher looks once a second.
    EXPECT_TRUE(waitForRequestTaken(block, 2500));
    Sleep(1200);
    EXPECT_EQ(host_.resetRequests.load(), 1);
    EXPECT_EQ(block->resetRequest, 0);
    // Streaming does not matter; a second request is seen as well.
    ASSERT_EQ(asio_->start(), ASE_OK);
    block->resetRequest = 7;
    EXPECT_TRUE(waitForRequestTaken(block, 2500));
    Sleep(300);
    EXPECT_EQ(host_.resetRequests.load(), 2);
}

TEST_F(ResetWatcher, WithoutBuffersTheRequestStays)
{
    rk50test::StatusView block;
    ASSERT_NE(block.get(), nullptr);
    block->resetRequest = 1;
    Sleep(1500);
    EXPECT_EQ(block->resetRequest, 1);
    EXPECT_EQ(host_.resetRequests.load(), 0);
    // After the buffers are gone the watcher is gone too.
    ASSERT_EQ(createBuffers({0}, {0}, 256), ASE_OK);
    ASSERT_EQ(asio_->disposeBuffers(), ASE_OK);
    block->resetRequest = 1;
    Sleep(1500);
    EXPECT_EQ(block->resetRequest, 1);
}

TEST_F(ResetWatcher, DisposeDoesNotWaitOutTheInterval)
{
    ASSERT_EQ(createBuffers({0}, {0}, 256), ASE_OK);
    Sleep(50);
    const DWORD start = GetTickCount();
    EXPECT_EQ(asio_->disposeBuffers(), ASE_OK);
    EXPECT_LT(GetTickCount() - start, 900u) << "the watcher ends when told, not at its next look";
}

}  // namespace
