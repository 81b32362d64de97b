// The simulator's machine description: what each line makes of the machine,
// and which texts are refused with the line they fail on.
#include "sim/MachineConfig.h"

#include <gtest/gtest.h>

using rk50sim::Direction;
using rk50sim::parseMachine;

namespace {

TEST(MachineConfig, DevicesKeepTheirOrderPerDirection)
{
    const auto result = parseMachine(
        "# a comment\n"
        "waveout = \\\\?\\HDAUDIO#FUNC_01&VEN_10EC#4&1#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\X | Speakers\r\n"
        "  ; another comment\n"
        "\n"
        "wavein  =  - | Old Card  \n"
        "waveout = \\\\?\\USB#VID_3A5C&PID_0050#6&1&0&0000#{x}\\GLOBAL\n"
        "wavein = \\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&1&0&0000#{x}\\GLOBAL | Varnel RK50");
    ASSERT_TRUE(result.ok) << result.errorLine << ": " << result.error;
    const auto outs = result.machine.devicesOf(Direction::Out);
    const auto ins = result.machine.devicesOf(Direction::In);
    ASSERT_EQ(outs.size(), 2u);
    ASSERT_EQ(ins.size(), 2u);
    EXPECT_EQ(outs[0]->productName, "Speakers");
    EXPECT_EQ(outs[0]->interfacePath,
              "\\\\?\\HDAUDIO#FUNC_01&VEN_10EC#4&1#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\X");
    EXPECT_EQ(outs[1]->productName, "") << "the product name is optional";
    EXPECT_FALSE(ins[0]->hasPath) << "'-' is a device without an interface path";
    EXPECT_EQ(ins[0]->productName, "Old Card");
    EXPECT_TRUE(ins[1]->hasPath);
    EXPECT_EQ(ins[1]->productName, "Varnel RK50");
}

TEST(MachineConfig, FriendlyNamesWithAndWithoutName)
{
    const auto result = parseMachine(
        "friendly = USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&0000 | Varnel RK50 USB Audio\n"
        "friendly = USB\\VID_3A5C&PID_0050&MI_00\\7&1\n"
        "friendly = USB\\VID_3A5C&PID_0050&MI_00\\8&1 |\n");
    ASSERT_TRUE(result.ok) << result.errorLine << ": " << result.error;
    const auto& machine = result.machine;
    EXPECT_TRUE(machine.devices.empty());

    const auto* named = machine.findInstance("usb\\vid_3a5c&pid_0050&mi_00\\6&1a2b3c4&0&0000");
    ASSERT_NE(named, nullptr) << "instance ids compare without regard to case";
    EXPECT_TRUE(named->hasName);
    EXPECT_EQ(named->name, "Varnel RK50 USB Audio");

    const auto* unnamed = machine.findInstance("USB\\VID_3A5C&PID_0050&MI_00\\7&1");
    ASSERT_NE(unnamed, nullptr);
    EXPECT_FALSE(unnamed->hasName) << "no bar: the device has no friendly name at all";

    const auto* empty = machine.findInstance("USB\\VID_3A5C&PID_0050&MI_00\\8&1");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->hasName) << "a bar and nothing: an empty friendly name";
    EXPECT_EQ(empty->name, "");

    EXPECT_EQ(machine.findInstance("USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&000"), nullptr)
        << "a prefix of an id is another id";
}

TEST(MachineConfig, EmptyTextIsAMachineWithoutDevices)
{
    for (const char* text : {"", "\n\n", "# nothing\r\n"}) {
        const auto result = parseMachine(text);
        EXPECT_TRUE(result.ok) << "'" << text << "'";
        EXPECT_TRUE(result.machine.devices.empty());
        EXPECT_TRUE(result.machine.friendlyNames.empty());
    }
}

TEST(MachineConfig, RefusedTextsNameTheirLineAndLeaveNoDevices)
{
    const std::string longField(513, 'x');
    struct Case {
        std::string text;
        int line;
        const char* errorPart;
    };
    std::string tooMany;
    for (int i = 0; i < 33; ++i)
        tooMany += "wavein = \\\\?\\USB#VID_3A5C&PID_0050#1#{x}\n";
    const Case cases[] = {
        {"wavein = \\\\?\\USB#VID_3A5C&PID_0050#1#{x}\nwaveout\n", 2, "key = value"},
        {"wave = \\\\?\\USB#VID_3A5C#1#{x}", 1, "unknown key"},
        {"WaveIn = x", 1, "unknown key"},
        {"wavein = | Name", 1, "interface path"},
        {"waveout =", 1, "interface path"},
        {"friendly = | Name", 1, "instance id"},
        {"wavein = a | b | c", 1, "two fields"},
        {"\n\nwavein = " + longField, 3, "512"},
        {"friendly = id | " + longField, 1, "512"},
        {tooMany, 33, "32"},
        {"source = noise", 1, "source must be"},
        {"source = tone | x", 1, "one field"},
        {"loopback_delay = -1", 1, "loopback_delay"},
        {"loopback_delay = 192001", 1, "loopback_delay"},
        {"loopback_delay = 10ms", 1, "loopback_delay"},
        {"loopback_delay =", 1, "loopback_delay"},
        {"capture_wav =", 1, "capture_wav"},
        {"capture_wav = C:\\" + std::string(300, 'x'), 1, "capture_wav"},
    };
    for (const Case& c : cases) {
        const auto result = parseMachine(c.text);
        EXPECT_FALSE(result.ok) << c.text.substr(0, 60);
        EXPECT_EQ(result.errorLine, c.line) << c.text.substr(0, 60);
        EXPECT_NE(result.error.find(c.errorPart), std::string::npos)
            << "error '" << result.error << "' for " << c.text.substr(0, 60);
        EXPECT_TRUE(result.machine.devices.empty()) << "a refused text describes no machine";
    }
}

TEST(MachineConfig, BehaviourKeysAndTheirDefaults)
{
    const auto plain = parseMachine("wavein = x\n");
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(plain.machine.behaviour.source, rk50sim::Source::Silence);
    EXPECT_EQ(plain.machine.behaviour.loopbackDelayFrames, 1000);
    EXPECT_EQ(plain.machine.behaviour.capturePath, "");

    const auto set = parseMachine(
        "source = Loopback\n"
        "loopback_delay = 0\n"
        "capture_wav = C:\\temp\\played.wav  \n");
    ASSERT_TRUE(set.ok) << set.errorLine << ": " << set.error;
    EXPECT_EQ(set.machine.behaviour.source, rk50sim::Source::Loopback) << "source names ignore case";
    EXPECT_EQ(set.machine.behaviour.loopbackDelayFrames, 0) << "no delay is a delay";
    EXPECT_EQ(set.machine.behaviour.capturePath, "C:\\temp\\played.wav");

    struct Case {
        const char* text;
        rk50sim::Source source;
    };
    const Case sources[] = {{"source = silence", rk50sim::Source::Silence},
                            {"source = TONE", rk50sim::Source::Tone},
                            {"source = counting", rk50sim::Source::Counting},
                            {"source = tone\nsource = counting", rk50sim::Source::Counting}};
    for (const Case& c : sources) {
        const auto result = parseMachine(c.text);
        ASSERT_TRUE(result.ok) << c.text;
        EXPECT_EQ(result.machine.behaviour.source, c.source) << c.text << ": the last line wins";
    }
    EXPECT_EQ(parseMachine("loopback_delay = 192000").machine.behaviour.loopbackDelayFrames, 192000);
}

TEST(MachineConfig, ConverterPathsCarryItsIdsInAnyCase)
{
    EXPECT_TRUE(rk50sim::isConverterPath("\\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&1#{x}\\GLOBAL"));
    EXPECT_TRUE(rk50sim::isConverterPath("\\\\?\\usb#vid_3a5c&pid_0050#6&1#{x}"));
    EXPECT_TRUE(rk50sim::isConverterPath("USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&0000"));
    EXPECT_FALSE(rk50sim::isConverterPath("\\\\?\\USB#VID_3A5C&PID_0051#6&1#{x}"));
    EXPECT_FALSE(rk50sim::isConverterPath("\\\\?\\USB#VID_3A5C#PID_0050#6&1#{x}"));
    EXPECT_FALSE(rk50sim::isConverterPath("VID_3A5C&PID_005"));
    EXPECT_FALSE(rk50sim::isConverterPath(""));
}

TEST(MachineConfig, DefaultMachineIsOneConverterWithItsFriendlyName)
{
    const auto machine = rk50sim::defaultMachine();
    const auto ins = machine.devicesOf(Direction::In);
    const auto outs = machine.devicesOf(Direction::Out);
    ASSERT_EQ(ins.size(), 1u);
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(ins[0]->interfacePath,
              "\\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&1A2B3C4&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\GLOBAL");
    EXPECT_EQ(outs[0]->interfacePath, ins[0]->interfacePath);
    // The instance id the driver derives from that path has a friendly name.
    const auto* friendly = machine.findInstance("USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&0000");
    ASSERT_NE(friendly, nullptr);
    EXPECT_TRUE(friendly->hasName);
    EXPECT_FALSE(friendly->name.empty());
}

}  // namespace
