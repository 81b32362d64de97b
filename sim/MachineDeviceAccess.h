// What the converter's kernel driver presents to the control panel besides
// the wave devices: audio endpoints, kernel-streaming topology devices and
// wave mixers. Part of the machine description (sim/README.md, "Endpoints,
// topology and mixers"); parsed without any Windows call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rk50sim {

enum class EndpointFlow { Render, Capture };

// The platform's DEVICE_STATE_ values.
constexpr std::uint32_t kEndpointActive = 0x1;
constexpr std::uint32_t kEndpointDisabled = 0x2;
constexpr std::uint32_t kEndpointNotPresent = 0x4;
constexpr std::uint32_t kEndpointUnplugged = 0x8;

struct Endpoint {
    enum class Value { Text, NoStore, Missing, Number };
    EndpointFlow flow = EndpointFlow::Render;
    std::uint32_t state = kEndpointActive;
    bool hasId = true;  // false: GetId fails
    std::string id;
    Value value = Value::Text;
    std::string instancePath;  // the device-instance path property, for Value::Text
};

struct TopologyDevice {
    enum class Interface { Openable, None, Unopenable };
    std::string instanceId;
    bool hasService = true;  // false: no SPDRP_SERVICE property
    std::string service;
    Interface interfaceKind = Interface::Openable;
};

struct MixerDevice {
    bool hasInterfaceName = true;  // false: the name's size is 0
    std::string interfaceName;
    std::string productName;
    bool capsReadable = true;
    bool opens = true;
};

struct DeviceAccess {
    std::vector<Endpoint> endpoints;
    std::vector<TopologyDevice> topology;
    std::vector<MixerDevice> mixers;
};

// Whether key (with its optional ".variant") is one of the keys above.
bool isDeviceAccessKey(const std::string& key);
// Adds the entry of one line; the error text, empty when it was understood.
std::string parseDeviceAccessEntry(const std::string& key, const std::string& left, bool hasRight,
                                   const std::string& right, DeviceAccess& access);

// The built-in machine's converter: one render and one capture endpoint, its
// topology device and its mixer.
DeviceAccess defaultDeviceAccess();

// Texts carrying the converter's VID_/PID_ pair (any case) belong to the
// converter and vanish while it is unplugged.
bool belongsToConverter(const std::string& text);

}  // namespace rk50sim
