#include "MachineDeviceAccess.h"

#include <cctype>

namespace rk50sim {

namespace {

constexpr std::size_t kMaxEntries = 32;

const char kConverterIds[] = "VID_3A5C&PID_0050";

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "render.disabled" -> "render", "disabled".
void splitKey(const std::string& key, std::string& base, std::string& variant)
{
    const std::size_t dot = key.find('.');
    base = key.substr(0, dot);
    variant = dot == std::string::npos ? std::string() : key.substr(dot + 1);
}

std::string parseEndpoint(EndpointFlow flow, const std::string& variant, const std::string& left, bool hasRight,
                          const std::string& right, DeviceAccess& access)
{
    Endpoint endpoint;
    endpoint.flow = flow;
    if (variant.empty() || variant == "active")
        endpoint.state = kEndpointActive;
    else if (variant == "disabled")
        endpoint.state = kEndpointDisabled;
    else if (variant == "notpresent")
        endpoint.state = kEndpointNotPresent;
    else if (variant == "unplugged")
        endpoint.state = kEndpointUnplugged;
    else
        return "unknown endpoint state '" + variant + "'";
    if (left.empty())
        return "missing endpoint id (use - for one that cannot be read)";
    if (!hasRight || right.empty())
        return "missing device-instance path (use -, !missing or !number for none)";
    if (access.endpoints.size() >= kMaxEntries)
        return "more than 32 endpoints";
    endpoint.hasId = left != "-";
    if (endpoint.hasId)
        endpoint.id = left;
    if (right == "-")
        endpoint.value = Endpoint::Value::NoStore;
    else if (right == "!missing")
        endpoint.value = Endpoint::Value::Missing;
    else if (right == "!number")
        endpoint.value = Endpoint::Value::Number;
    else
        endpoint.instancePath = right;
    access.endpoints.push_back(endpoint);
    return std::string();
}

std::string parseTopology(const std::string& variant, const std::string& left, bool hasRight,
                          const std::string& right, DeviceAccess& access)
{
    TopologyDevice device;
    if (variant.empty())
        device.interfaceKind = TopologyDevice::Interface::Openable;
    else if (variant == "nointerface")
        device.interfaceKind = TopologyDevice::Interface::None;
    else if (variant == "unopenable")
        device.interfaceKind = TopologyDevice::Interface::Unopenable;
    else
        return "unknown topology variant '" + variant + "'";
    if (left.empty())
        return "missing instance id";
    if (access.topology.size() >= kMaxEntries)
        return "more than 32 topology devices";
    device.instanceId = left;
    device.hasService = hasRight;
    device.service = right;
    access.topology.push_back(device);
    return std::string();
}

std::string parseMixer(const std::string& variant, const std::string& left, const std::string& right,
                       DeviceAccess& access)
{
    MixerDevice mixer;
    if (variant == "nocaps")
        mixer.capsReadable = false;
    else if (variant == "noopen")
        mixer.opens = false;
    else if (!variant.empty())
        return "unknown mixer variant '" + variant + "'";
    if (left.empty())
        return "missing interface name (use - for none)";
    if (access.mixers.size() >= kMaxEntries)
        return "more than 32 mixers";
    mixer.hasInterfaceName = left != "-";
    if (mixer.hasInterfaceName)
        mixer.interfaceName = left;
    mixer.productName = right;
    access.mixers.push_back(mixer);
    return std::string();
}

}  // namespace

bool isDeviceAccessKey(const std::string& key)
{
    std::string base, variant;
    splitKey(key, base, variant);
    return base == "render" || base == "capture" || base == "topology" || base == "mixer";
}

std::string parseDeviceAccessEntry(const std::string& key, const std::string& left, bool hasRight,
                                   const std::string& right, DeviceAccess& access)
{
    std::string base, variant;
    splitKey(key, base, variant);
    if (base == "render")
        return parseEndpoint(EndpointFlow::Render, variant, left, hasRight, right, access);
    if (base == "capture")
        return parseEndpoint(EndpointFlow::Capture, variant, left, hasRight, right, access);
    if (base == "topology")
        return parseTopology(variant, left, hasRight, right, access);
    if (base == "mixer")
        return parseMixer(variant, left, right, access);
    return "unknown key '" + key + "'";
}

DeviceAccess defaultDeviceAccess()
{
    DeviceAccess access;
    const char instance[] = "USB\\VID_3A5C&PID_0050&MI_01\\6&1A2B3C4&0&0001";
    Endpoint render;
    render.flow = EndpointFlow::Render;
    render.id = "{0.0.0.00000000}.{3a5c0050-0001-4000-8000-000000000001}";
    render.instancePath = instance;
    Endpoint capture = render;
    capture.flow = EndpointFlow::Capture;
    capture.id = "{0.0.1.00000000}.{3a5c0050-0001-4000-8000-000000000002}";
    access.endpoints = {render, capture};
    TopologyDevice topology;
    topology.instanceId = instance;
    topology.service = "VarnelRK50";
    access.topology.push_back(topology);
    MixerDevice mixer;
    mixer.interfaceName =
        "\\\\?\\USB#VID_3A5C&PID_0050&MI_01#6&1A2B3C4&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\GLOBAL";
    mixer.productName = "Varnel RK50";
    access.mixers.push_back(mixer);
    return access;
}

bool belongsToConverter(const std::string& text)
{
    return upper(text).find(kConverterIds) != std::string::npos;
}

}  // namespace rk50sim
