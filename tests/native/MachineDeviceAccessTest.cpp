// The machine file's endpoint, topology and mixer entries.
#include "sim/MachineConfig.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using rk50sim::Endpoint;
using rk50sim::parseMachine;
using rk50sim::TopologyDevice;

TEST(MachineDeviceAccess, ParsesEndpointsTopologyAndMixers)
{
    const auto result = parseMachine(
        "render = {out} | USB\\VID_3A5C&PID_0050&MI_01\\6&A&0&1\n"
        "capture.disabled = {in} | usb\\vid_3a5c&pid_0050&mi_01\\6&a&0&1\n"
        "capture.unplugged = - | -\n"
        "render.notpresent = {x} | !missing\n"
        "render = {y} | !number\n"
        "topology = USB\\VID_3A5C&PID_0050&MI_01\\6&A&0&1 | VarnelRK50\n"
        "topology.nointerface = ROOT\\MEDIA\\0000\n"
        "topology.unopenable = X\\Y | Z\n"
        "mixer = \\\\?\\USB#VID_3A5C&PID_0050&MI_01#6&A#{x} | RK50 Mixer\n"
        "mixer.nocaps = - \n"
        "mixer.noopen = \\\\?\\HDAUDIO#1\n");
    ASSERT_TRUE(result.ok) << "line " << result.errorLine << ": " << result.error;
    const auto& access = result.machine.access;
    ASSERT_EQ(access.endpoints.size(), 5u);
    EXPECT_EQ(access.endpoints[0].flow, rk50sim::EndpointFlow::Render);
    EXPECT_EQ(access.endpoints[0].state, rk50sim::kEndpointActive);
    EXPECT_EQ(access.endpoints[0].id, "{out}");
    EXPECT_EQ(access.endpoints[0].value, Endpoint::Value::Text);
    EXPECT_EQ(access.endpoints[0].instancePath, "USB\\VID_3A5C&PID_0050&MI_01\\6&A&0&1");
    EXPECT_EQ(access.endpoints[1].flow, rk50sim::EndpointFlow::Capture);
    EXPECT_EQ(access.endpoints[1].state, rk50sim::kEndpointDisabled);
    EXPECT_EQ(access.endpoints[2].state, rk50sim::kEndpointUnplugged);
    EXPECT_FALSE(access.endpoints[2].hasId);
    EXPECT_EQ(access.endpoints[2].value, Endpoint::Value::NoStore);
    EXPECT_EQ(access.endpoints[3].state, rk50sim::kEndpointNotPresent);
    EXPECT_EQ(access.endpoints[3].value, Endpoint::Value::Missing);
    EXPECT_EQ(access.endpoints[4].value, Endpoint::Value::Number);

    ASSERT_EQ(access.topology.size(), 3u);
    EXPECT_EQ(access.topology[0].service, "VarnelRK50");
    EXPECT_TRUE(access.topology[0].hasService);
    EXPECT_EQ(access.topology[0].interfaceKind, TopologyDevice::Interface::Openable);
    EXPECT_FALSE(access.topology[1].hasService);
    EXPECT_EQ(access.topology[1].interfaceKind, TopologyDevice::Interface::None);
    EXPECT_EQ(access.topology[2].interfaceKind, TopologyDevice::Interface::Unopenable);

    ASSERT_EQ(access.mixers.size(), 3u);
    EXPECT_EQ(access.mixers[0].productName, "RK50 Mixer");
    EXPECT_TRUE(access.mixers[0].capsReadable && access.mixers[0].opens);
    EXPECT_FALSE(access.mixers[1].hasInterfaceName);
    EXPECT_FALSE(access.mixers[1].capsReadable);
    EXPECT_FALSE(access.mixers[2].opens);
    EXPECT_TRUE(access.mixers[2].capsReadable);
}

TEST(MachineDeviceAccess, RefusesMalformedEntries)
{
    std::string tooMany;
    for (int i = 0; i < 33; ++i)
        tooMany += "mixer = m" + std::to_string(i) + "\n";
    const struct {
        std::string text;
        int line;
        const char* errorPart;
    } cases[] = {
        {"render = {id}\n", 1, "device-instance path"},
        {"render = {id} |\n", 1, "device-instance path"},
        {"capture = | path\n", 1, "endpoint id"},
        {"render.sleeping = {id} | p\n", 1, "endpoint state"},
        {"\ntopology = | VarnelRK50\n", 2, "instance id"},
        {"topology.broken = A | B\n", 1, "topology variant"},
        {"mixer.loud = A\n", 1, "mixer variant"},
        {"mixer = | Name\n", 1, "interface name"},
        {"mixer = a | b | c\n", 1, "two fields"},
        {"renderer = a | b\n", 1, "unknown key"},
        {tooMany, 33, "32"},
    };
    for (const auto& c : cases) {
        const auto result = parseMachine(c.text);
        EXPECT_FALSE(result.ok) << c.text.substr(0, 60);
        EXPECT_EQ(result.errorLine, c.line) << c.text.substr(0, 60);
        EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << "error '" << result.error << "'";
        EXPECT_TRUE(result.machine.access.mixers.empty()) << "a refused text describes no machine";
    }
}

TEST(MachineDeviceAccess, DefaultConverterPresentsEndpointsTopologyAndMixer)
{
    const auto access = rk50sim::defaultMachine().access;
    ASSERT_EQ(access.endpoints.size(), 2u);
    EXPECT_EQ(access.endpoints[0].flow, rk50sim::EndpointFlow::Render);
    EXPECT_EQ(access.endpoints[1].flow, rk50sim::EndpointFlow::Capture);
    for (const auto& endpoint : access.endpoints)
        EXPECT_NE(endpoint.instancePath.find("VID_3A5C&PID_0050&MI_01"), std::string::npos);
    ASSERT_EQ(access.topology.size(), 1u);
    EXPECT_EQ(access.topology[0].service, "VarnelRK50");
    ASSERT_EQ(access.mixers.size(), 1u);
    EXPECT_NE(access.mixers[0].interfaceName.find("MI_01"), std::string::npos);
}

TEST(MachineDeviceAccess, ConverterTextsByTheirVendorAndProduct)
{
    EXPECT_TRUE(rk50sim::belongsToConverter("USB\\VID_3A5C&PID_0050&MI_01\\6&A"));
    EXPECT_TRUE(rk50sim::belongsToConverter("\\\\?\\usb#vid_3a5c&pid_0050#x"));
    EXPECT_FALSE(rk50sim::belongsToConverter("USB\\VID_3A5C&PID_0051&MI_01"));
    EXPECT_FALSE(rk50sim::belongsToConverter("HDAUDIO\\FUNC_01"));
}

}  // namespace
