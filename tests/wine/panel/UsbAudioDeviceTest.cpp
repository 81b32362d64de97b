// The panel's device object against simulated machines: the endpoint rule
// (Windows 7), the topology interface and mixer (every other Windows), and
// plugging. The object's own CoCreateInstance, SetupAPI, mixer and CreateFileA
// calls are the real ones; the simulator stands behind them.
#include "PanelSimulation.h"

#include "AudioCPL/device/AudioEndpoints.h"
#include "AudioCPL/device/TopologyInterface.h"
#include "AudioCPL/device/UsbAudioDevice.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using paneltest::Mode;

const char kConverterInstance[] = "USB\\VID_3A5C&PID_0050&MI_01\\6&AAA&0&0001";
const char kOtherInstance[] = "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662\\4&2A1B&0&0001";

std::string render(const char* id, const std::string& path) { return std::string("render = ") + id + " | " + path + "\n"; }
std::string capture(const char* id, const std::string& path) { return std::string("capture = ") + id + " | " + path + "\n"; }
std::string topology(const char* instance, const char* service) { return std::string("topology = ") + instance + " | " + service + "\n"; }
std::string converterMixer(const char* mi = "&MI_01")
{
    return std::string("mixer = \\\\?\\USB#VID_3A5C&PID_0050") + mi + "#6&AAA&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\GLOBAL | RK50 Mixer\n";
}
const std::string kRender = render("{0.0.0.00000000}.{rk50-out}", kConverterInstance);
const std::string kCapture = capture("{0.0.1.00000000}.{rk50-in}", kConverterInstance);
const std::string kTopology = topology(kConverterInstance, "VarnelRK50");

class PanelDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registration_.ok()) << "registering the simulator's endpoint enumerator";
        paneltest::setConverterPlugged(true);
    }
    void TearDown() override { paneltest::setConverterPlugged(true); }

    void useMachine(const std::string& text) { ASSERT_TRUE(machine_.use(text)); }

    paneltest::SimEnumeratorRegistration registration_;
    paneltest::SimMachineFile machine_;
};

struct EndpointCase {
    const char* name;
    std::string machine;
    bool opens;
    int renderCount;   // after OpenDevice
    int captureCount;
    bool controlHandle;
};

TEST_F(PanelDevice, EndpointModeFollowsTheEndpointRule)
{
    if (paneltest::ranInChildProcess(Mode::Endpoint))
        return;
    const std::string otherRender = render("{0.0.0.00000000}.{speakers}", kOtherInstance);
    const EndpointCase cases[] = {
        {"one render, one capture, topology", kRender + kCapture + kTopology, true, 1, 1, true},
        {"one render, no capture, no topology", kRender + otherRender, true, 1, 0, false},
        {"two capture", kRender + kCapture + capture("{in2}", kConverterInstance), true, 1, 2, false},
        {"lower-case path", render("{lower}", "usb\\vid_3a5c&pid_0050&mi_01\\6&aaa&0&0001"), true, 1, 0, false},
        {"match inside a longer text", render("{long}", std::string("SWD\\MMDEVAPI\\") + kConverterInstance + "\\X"), true, 1, 0, false},
        {"disabled second render does not count", kRender + "render.disabled = {off} | " + kConverterInstance + "\n", true, 1, 0, false},
        {"unreadable endpoints match nothing", kRender + "render = {nostore} | -\nrender = {nopath} | !missing\nrender = {num} | !number\n", true, 1, 0, false},
        {"two render endpoints", kRender + render("{second}", kConverterInstance) + kTopology, false, 0, 0, false},
        {"three capture endpoints", kRender + kCapture + kCapture + kCapture + kTopology, false, 0, 0, false},
        {"five capture endpoints", kRender + kCapture + kCapture + kCapture + kCapture + kCapture, false, 0, 0, false},
        {"no render endpoint", kCapture + kTopology, false, 0, 0, false},
        {"other interface only", render("{mi0}", "USB\\VID_3A5C&PID_0050&MI_00\\6&AAA&0&0000") + kTopology, false, 0, 0, false},
        {"render id unreadable", render("-", kConverterInstance), false, 0, 0, false},
        {"capture id unreadable", kRender + capture("-", kConverterInstance), false, 0, 0, false},
    };
    for (const EndpointCase& c : cases) {
        SCOPED_TRACE(c.name);
        useMachine(c.machine);
        rk50::UsbAudioDevice device;
        ASSERT_TRUE(device.IsEndpointMode());
        EXPECT_EQ(device.OpenDevice(nullptr), c.opens);
        EXPECT_EQ(device.IsOpen(), c.opens);
        EXPECT_EQ(device.RenderEndpointCount(), c.renderCount);
        EXPECT_EQ(device.CaptureEndpointCount(), c.captureCount);
        EXPECT_EQ(device.ControlHandle() != INVALID_HANDLE_VALUE, c.controlHandle);
        // A failed open leaves both tables empty.
        for (int slot = 0; slot < rk50::kMaxEndpoints; ++slot) {
            if (slot >= c.renderCount) {
                EXPECT_STREQ(device.RenderEndpointId(slot), L"") << "render slot " << slot;
            }
            if (slot >= c.captureCount) {
                EXPECT_STREQ(device.CaptureEndpointId(slot), L"") << "capture slot " << slot;
            }
        }
        if (c.opens) {
            EXPECT_STRNE(device.RenderEndpointId(0), L"");
        }
    }
}

TEST_F(PanelDevice, EndpointSearchStopsAtFourAndKeepsOrder)
{
    std::string machine = render("{other}", kOtherInstance);
    const char* ids[] = {"{c1}", "{c2}", "{c3}", "{c4}", "{c5}"};
    for (const char* id : ids)
        machine += capture(id, kConverterInstance);
    useMachine(machine);
    rk50::EndpointId table[rk50::kMaxEndpoints] = {};
    int count = -1;
    EXPECT_TRUE(rk50::FindAudioEndpoints("VID_3A5C&PID_0050&MI_01", rk50::EndpointCapture, table, count));
    ASSERT_EQ(count, 4);
    const wchar_t* expected[] = {L"{c1}", L"{c2}", L"{c3}", L"{c4}"};
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(table[i], expected[i]) << "slot " << i;
    EXPECT_FALSE(rk50::FindAudioEndpoints("VID_3A5C&PID_0050&MI_01", rk50::EndpointRender, table, count));
    EXPECT_EQ(count, 0);
}

TEST_F(PanelDevice, OpenOnAnOpenDeviceChangesNothing)
{
    if (paneltest::ranInChildProcess(Mode::Endpoint))
        return;
    useMachine(kRender + kCapture + kTopology);
    rk50::UsbAudioDevice device;
    ASSERT_TRUE(device.OpenDevice(nullptr));
    const HANDLE handle = device.ControlHandle();
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    // A machine on which opening would fail: nothing is searched again.
    useMachine(kRender + kRender);
    EXPECT_TRUE(device.OpenDevice(nullptr));
    EXPECT_EQ(device.ControlHandle(), handle);
    EXPECT_EQ(device.RenderEndpointCount(), 1);
    EXPECT_STREQ(device.RenderEndpointId(0), L"{0.0.0.00000000}.{rk50-out}");
    EXPECT_STREQ(device.CaptureEndpointId(0), L"{0.0.1.00000000}.{rk50-in}");
    device.CloseDevice();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.ControlHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.RenderEndpointCount(), 0);
    EXPECT_FALSE(device.OpenDevice(nullptr)) << "the two-render machine, searched afresh";
}

TEST_F(PanelDevice, TopologyHandleIsReadOnlyAndSharesReadAndWrite)
{
    useMachine(kTopology);
    char path[rk50::kDevicePathChars];
    ASSERT_TRUE(rk50::FindTopologyInterface(path));
    rk50::UsbAudioDevice device;
    if (device.IsEndpointMode())
        useMachine(kRender + kTopology);
    ASSERT_TRUE(device.OpenDevice(nullptr));
    ASSERT_NE(device.ControlHandle(), INVALID_HANDLE_VALUE);
    // An exclusive open fails while the panel holds its handle ...
    HANDLE exclusive = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(exclusive, INVALID_HANDLE_VALUE) << path;
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
    // ... a writer gets in, since the panel shares writing ...
    HANDLE writer = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    // ... and one that shares only reading, since the panel does not write.
    HANDLE reader = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    device.CloseDevice();
    exclusive = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "CloseDevice closes the handle";
    if (exclusive != INVALID_HANDLE_VALUE)
        CloseHandle(exclusive);
}

struct TopologyCase {
    const char* name;
    std::string machine;
    bool found;
};

TEST_F(PanelDevice, TopologyInterfaceNeedsTheExactServiceName)
{
    const TopologyCase cases[] = {
        {"converter", kTopology, true},
        {"after other drivers", topology(kOtherInstance, "HdAudAddService") + "topology = ROOT\\MEDIA\\0000\n" + kTopology, true},
        {"longer service name", topology(kConverterInstance, "VarnelRK50x"), false},
        {"shorter service name", topology(kConverterInstance, "VarnelRK5"), false},
        {"service name in another case", topology(kConverterInstance, "varnelrk50"), false},
        {"no service property", std::string("topology = ") + kConverterInstance + "\n", false},
        {"matching device without an interface", std::string("topology.nointerface = ") + kConverterInstance + " | VarnelRK50\n", false},
        {"only other drivers", topology(kOtherInstance, "HdAudAddService"), false},
        {"no topology devices", "", false},
    };
    for (const TopologyCase& c : cases) {
        SCOPED_TRACE(c.name);
        useMachine(c.machine);
        char path[rk50::kDevicePathChars] = "stale";
        EXPECT_EQ(rk50::FindTopologyInterface(path), c.found);
        if (!c.found) {
            EXPECT_STREQ(path, "");
        } else {
            EXPECT_NE(std::string(path).find("#{dda54a40-1e4c-11d1-a050-405705c10000}"), std::string::npos) << path;
        }
    }
}

struct StreamingCase {
    const char* name;
    std::string machine;
    bool opens;
    bool holdsMixer;
};

TEST_F(PanelDevice, KernelStreamingModeNeedsTheTopologyAndTakesTheMixer)
{
    if (paneltest::ranInChildProcess(Mode::KernelStreaming))
        return;
    const std::string otherMixer = "mixer = \\\\?\\HDAUDIO#FUNC_01&VEN_10EC#4&2A1B&0&0001#{x}\\eRender | Speakers\n";
    const StreamingCase cases[] = {
        {"topology and mixer", otherMixer + converterMixer() + kTopology, true, true},
        {"no converter mixer", otherMixer + converterMixer("&MI_00") + converterMixer("") + "mixer = - | Silent\n" + kTopology, true, false},
        {"mixer capabilities unreadable, a later one taken", "mixer.nocaps = \\\\?\\USB#VID_3A5C&PID_0050&MI_01#1#{x} | A\n" + converterMixer() + kTopology, true, true},
        {"mixer that cannot be opened", "mixer.noopen = \\\\?\\USB#VID_3A5C&PID_0050&MI_01#1#{x} | A\n" + kTopology, true, false},
        {"no topology: the mixer opened on the way is closed", converterMixer(), false, false},
        {"topology that cannot be opened", converterMixer() + "topology.unopenable = " + kConverterInstance + " | VarnelRK50\n", false, false},
        {"near-miss service name", converterMixer() + topology(kConverterInstance, "VarnelRK50x"), false, false},
        {"endpoints alone do not count here", kRender + kCapture + converterMixer(), false, false},
    };
    for (const StreamingCase& c : cases) {
        SCOPED_TRACE(c.name);
        useMachine(c.machine);
        rk50::UsbAudioDevice device;
        ASSERT_TRUE(device.IsOsInfoValid());
        ASSERT_FALSE(device.IsEndpointMode());
        EXPECT_EQ(device.OpenDevice(nullptr), c.opens);
        EXPECT_EQ(device.IsOpen(), c.opens);
        EXPECT_EQ(device.ControlHandle() != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(device.Mixer() != nullptr, c.holdsMixer);
        EXPECT_EQ(paneltest::openMixerCount(), c.holdsMixer ? 1u : 0u) << "mixer handles held";
        device.CloseDevice();
        EXPECT_EQ(paneltest::openMixerCount(), 0u) << "after CloseDevice";
    }
}

TEST_F(PanelDevice, UnclassifiedWindowsUsesKernelStreaming)
{
    if (paneltest::ranInChildProcess(Mode::KernelStreaming))
        return;
    rk50::UsbAudioDevice device;
    EXPECT_TRUE(device.IsOsInfoValid());
    EXPECT_EQ(device.GetOsInfo().kind, rk50::OsUnknown);
    EXPECT_EQ(device.GetOsInfo().majorVersion, 6);
    // 32-bit Windows only when this process is 32-bit and not under WOW64.
    BOOL wow64 = FALSE;
    const bool windows32 = sizeof(void*) == 4 && !(IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    EXPECT_EQ(device.GetOsInfo().is32Bit, windows32);
    EXPECT_FALSE(device.IsEndpointMode());
}

struct PlugCase {
    const char* name;
    Mode mode;
};

class PanelDevicePlugging : public PanelDevice, public ::testing::WithParamInterface<PlugCase> {};

TEST_P(PanelDevicePlugging, OpenFollowsPlugAndUnplug)
{
    if (paneltest::ranInChildProcess(GetParam().mode))
        return;
    // Another device's endpoint, topology and mixer stay when the converter goes.
    useMachine(kRender + kCapture + converterMixer() + kTopology + render("{speakers}", kOtherInstance) +
               topology(kOtherInstance, "HdAudAddService") + "mixer = \\\\?\\HDAUDIO#FUNC_01#{x} | Speakers\n");
    rk50::UsbAudioDevice device;
    ASSERT_TRUE(device.OpenDevice(nullptr));
    device.CloseDevice();

    paneltest::setConverterPlugged(false);
    EXPECT_FALSE(device.OpenDevice(nullptr)) << "unplugged";
    EXPECT_EQ(paneltest::openMixerCount(), 0u);
    char path[rk50::kDevicePathChars];
    EXPECT_FALSE(rk50::FindTopologyInterface(path));
    rk50::EndpointId ids[rk50::kMaxEndpoints];
    int count = 0;
    EXPECT_FALSE(rk50::FindAudioEndpoints("VID_3A5C&PID_0050&MI_01", rk50::EndpointCapture, ids, count));
    EXPECT_EQ(mixerGetNumDevs(), 1u) << "the other device's mixer stays";

    paneltest::setConverterPlugged(true);
    EXPECT_TRUE(device.OpenDevice(nullptr)) << "plugged in again";
    EXPECT_NE(device.ControlHandle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(mixerGetNumDevs(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Modes, PanelDevicePlugging,
                         ::testing::Values(PlugCase{"Endpoint", Mode::Endpoint},
                                           PlugCase{"KernelStreaming", Mode::KernelStreaming}),
                         [](const ::testing::TestParamInfo<PlugCase>& info) { return std::string(info.param.name); });

}  // namespace
