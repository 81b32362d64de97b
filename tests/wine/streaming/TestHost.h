// An ASIO host inside the test process, driving the simulator flavour of the
// driver (registered from bin\sim) through IASIO as a real host does. The
// driver's callbacks are plain functions, so one host is active at a time.
#pragma once

#include "asio_driver/AsioInterface.h"
#include "shared/RK50Constants.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace rk50test {

// One switch as the host saw it.
struct SwitchRecord {
    long half;
    bool timeInfo;
    unsigned long flags;          // time info flags
    unsigned long timeCodeLo;
    unsigned long positionLo;     // getSamplePosition inside the switch
    unsigned long positionHi;
};

struct TestHost {
    bool answerTimeInfo = false;
    // Runs inside each switch on the driver's streaming thread.
    std::function<void(long half, int switchNumber)> onSwitch;

    std::atomic<int> switches{0};
    std::atomic<int> resetRequests{0};
    std::atomic<int> rateChanges{0};
    std::mutex lock;
    std::vector<SwitchRecord> records;
};

class SimDriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the machine file and names it for the simulator; null: built-in.
    void useMachine(const std::string* text);
    void setProfileBits(int bits);
    void create();
    void initDriver();
    void release();

    // createBuffers for the given channels (inputs first), bufferSize frames.
    ASIOError createBuffers(const std::vector<long>& inputs, const std::vector<long>& outputs, long frames);
    // Waits until the host has seen count switches; false on timeout.
    bool waitForSwitches(int count, DWORD timeoutMs);

    ASIOCallbacks callbacks_ = {};
    TestHost host_;
    IASIO* asio_ = nullptr;
    std::vector<ASIOBufferInfo> infos_;
    HMODULE module_ = nullptr;
    std::string configPath_;
};

// A port ring mapped by name while the driver holds it.
class RingView {
public:
    explicit RingView(const char* name);
    ~RingView();
    RingView(const RingView&) = delete;
    RingView& operator=(const RingView&) = delete;
    bool ok() const { return view_ != nullptr; }
    LONG readIndex() const { return view_[0]; }
    LONG writeIndex() const { return view_[1]; }
    LONG count() const { return view_[2]; }
    const volatile BYTE* slot(int k) const { return reinterpret_cast<const volatile BYTE*>(view_ + 3) + 49152 * k; }
    bool allSilent() const;

private:
    HANDLE mapping_ = nullptr;
    volatile LONG* view_ = nullptr;
};

// The status block as another program sees it.
class StatusView {
public:
    StatusView();
    ~StatusView();
    StatusView(const StatusView&) = delete;
    StatusView& operator=(const StatusView&) = delete;
    AsioStatusBlock* operator->() const { return view_; }
    AsioStatusBlock* get() const { return view_; }

private:
    HANDLE mapping_ = nullptr;
    AsioStatusBlock* view_ = nullptr;
};

}  // namespace rk50test
