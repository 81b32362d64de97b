// The panel's side of the driver's status block: opening it first or later,
// a block of some other program, and reading what a running driver (the
// simulator flavour, created through COM as a host creates it) publishes.
#include "AudioCPL/device/UsbAudioDevice.h"
#include "asio_driver/AsioInterface.h"
#include "asio_driver/DriverClsid.h"
#include "shared/RK50Constants.h"
#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A mapping of the block made by "another program", held for the test.
class ForeignBlock {
public:
    explicit ForeignBlock(std::uint32_t magic)
    {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(AsioStatusBlock),
                                      rk50::kStatusBlockName);
        view_ = mapping_ ? static_cast<AsioStatusBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
        if (view_) {
            memset(view_, 0x5A, sizeof *view_);
            view_->magic = magic;
        }
    }
    ~ForeignBlock()
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    AsioStatusBlock* view() const { return view_; }

private:
    HANDLE mapping_ = nullptr;
    AsioStatusBlock* view_ = nullptr;
};

bool allBytesAre(const void* data, std::size_t size, unsigned char value)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != value)
            return false;
    }
    return true;
}

TEST(PanelStatusBlock, FirstOpenerCreatesAZeroedBlockWithTheMagic)
{
    rk50::UsbAudioDevice device;
    EXPECT_EQ(device.StatusBlock(), nullptr) << "not mapped yet";
    ASSERT_TRUE(device.OpenStatusBlock());
    AsioStatusBlock* block = device.StatusBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->magic, rk50::kStatusBlockMagic);
    EXPECT_TRUE(allBytesAre(reinterpret_cast<const char*>(block) + 4, sizeof *block - 4, 0));
    EXPECT_TRUE(device.OpenStatusBlock()) << "again: already mapped";
    EXPECT_EQ(device.StatusBlock(), block);
    rk50::AsioStatusSnapshot snapshot;
    snapshot.sampleRate = 1;
    ASSERT_TRUE(device.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.driverLoaded, 0);
    EXPECT_EQ(snapshot.sampleRate, 0);
    device.CloseStatusBlock();
    EXPECT_EQ(device.StatusBlock(), nullptr);
    EXPECT_FALSE(device.ReadAsioStatus(snapshot));
}

TEST(PanelStatusBlock, LaterOpenerKeepsTheContentsAndWritesNothing)
{
    ForeignBlock existing(rk50::kStatusBlockMagic);
    ASSERT_NE(existing.view(), nullptr);
    existing.view()->driverLoaded = 7;
    existing.view()->streaming = 0;
    existing.view()->sampleRate = 48000;
    AsioStatusBlock before;
    memcpy(&before, existing.view(), sizeof before);
    {
        rk50::UsbAudioDevice device;
        ASSERT_TRUE(device.OpenStatusBlock());
        ASSERT_NE(device.StatusBlock(), nullptr);
        EXPECT_EQ(memcmp(&before, existing.view(), sizeof before), 0) << "the block is unchanged";
        rk50::AsioStatusSnapshot snapshot;
        ASSERT_TRUE(device.ReadAsioStatus(snapshot));
        EXPECT_EQ(snapshot.driverLoaded, 1) << "any nonzero value reads as 1";
        EXPECT_EQ(snapshot.streaming, 0);
        EXPECT_EQ(snapshot.sampleRate, 48000);
        EXPECT_EQ(snapshot.activeOutputs, 0x5A5A5A5A);
    }
    EXPECT_EQ(memcmp(&before, existing.view(), sizeof before), 0) << "nor when the device object goes";
}

TEST(PanelStatusBlock, ABlockWithAnotherMagicIsNotGiven)
{
    ForeignBlock existing(0x12345678);
    ASSERT_NE(existing.view(), nullptr);
    rk50::UsbAudioDevice device;
    ASSERT_TRUE(device.OpenStatusBlock()) << "it maps";
    EXPECT_EQ(device.StatusBlock(), nullptr);
    rk50::AsioStatusSnapshot snapshot;
    EXPECT_FALSE(device.ReadAsioStatus(snapshot));
    EXPECT_EQ(existing.view()->magic, 0x12345678u) << "and nothing overwrote it";
}

void __cdecl bufferSwitch(long, ASIOBool) {}
void __cdecl sampleRateDidChange(ASIOSampleRate) {}
long __cdecl asioMessage(long, long, void*, double*) { return 0; }
ASIOTime* __cdecl bufferSwitchTimeInfo(ASIOTime* params, long, ASIOBool) { return params; }

TEST(PanelStatusBlock, ReadsWhatARunningDriverPublishes)
{
    rk50test::removeDriverState();
    SetEnvironmentVariableA("RK50SIM_CONFIG", nullptr);  // the built-in converter
    ASSERT_TRUE(rk50test::registerDriver()) << rk50test::driverPath();
    CoInitialize(nullptr);
    rk50::UsbAudioDevice panel;
    ASSERT_TRUE(panel.OpenStatusBlock());

    void* object = nullptr;
    ASSERT_EQ(rk50test::hresultName(CoCreateInstance(rk50::CLSID_VarnelRK50ASIO, nullptr, CLSCTX_INPROC_SERVER,
                                                     rk50::CLSID_VarnelRK50ASIO, &object)),
              "S_OK");
    IASIO* asio = static_cast<IASIO*>(object);
    rk50::AsioStatusSnapshot snapshot;
    ASSERT_TRUE(panel.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.driverLoaded, 1);
    EXPECT_EQ(snapshot.streaming, 0);
    EXPECT_EQ(snapshot.sampleRate, 44100) << "the panel made the block, so the driver starts at 44100 Hz";
    EXPECT_EQ(snapshot.bufferSize, 0);

    EXPECT_NE(snapshot.bitsPerSample, 0);
    ASSERT_EQ(rk50test::asioErrorName(asio->setSampleRate(96000.0)), "ASE_OK");
    ASSERT_TRUE(panel.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.sampleRate, 96000) << "a rate the host sets";
    EXPECT_EQ(snapshot.activeOutputs, 0) << "no buffers";

    ASSERT_EQ(asio->init(nullptr), ASIOTrue) << "the simulated converter";
    ASIOBufferInfo buffers[3] = {};
    buffers[0] = {ASIOFalse, 0, {nullptr, nullptr}};
    buffers[1] = {ASIOFalse, 1, {nullptr, nullptr}};
    buffers[2] = {ASIOTrue, 0, {nullptr, nullptr}};
    ASIOCallbacks callbacks = {bufferSwitch, sampleRateDidChange, asioMessage, bufferSwitchTimeInfo};
    ASSERT_EQ(rk50test::asioErrorName(asio->createBuffers(buffers, 3, 256, &callbacks)), "ASE_OK");
    ASSERT_TRUE(panel.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.activeOutputs, 2);
    EXPECT_EQ(snapshot.activeInputs, 1);
    EXPECT_EQ(snapshot.bufferSize, 256);
    ASSERT_EQ(rk50test::asioErrorName(asio->start()), "ASE_OK");
    ASSERT_TRUE(panel.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.streaming, 1);
    asio->stop();
    asio->disposeBuffers();
    ASSERT_TRUE(panel.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.streaming, 0);
    EXPECT_EQ(snapshot.bufferSize, 0);
    EXPECT_EQ(snapshot.activeOutputs, 0);
    EXPECT_EQ(snapshot.activeInputs, 0);
    EXPECT_EQ(asio->Release(), 0u);
    ASSERT_TRUE(panel.ReadAsioStatus(snapshot));
    EXPECT_EQ(snapshot.driverLoaded, 0);
    panel.CloseStatusBlock();
    CoUninitialize();
    rk50test::removeDriverState();
}

}  // namespace
