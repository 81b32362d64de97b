// The simulated machine: which wave devices exist, in what order, what they
// answer, and which friendly names SetupAPI knows. Parsed from a small text
// format (sim/README.md) without any Windows call, so it is tested natively.
#pragma once

#include "MachineDeviceAccess.h"

#include <string>
#include <vector>

namespace rk50sim {

enum class Direction { In, Out };

struct WaveDevice {
    Direction direction = Direction::Out;
    // Narrow (UTF-8) interface path; hasPath false means the device reports an
    // interface path size of 0.
    bool hasPath = true;
    std::string interfacePath;
    std::string productName;
};

struct FriendlyName {
    std::string instanceId;
    // hasName false: the device instance exists but has no friendly name.
    bool hasName = true;
    std::string name;
};

// What the converter's wave-in devices record.
enum class Source { Silence, Tone, Counting, Loopback };

constexpr long kDefaultLoopbackDelayFrames = 1000;
constexpr long kMaxLoopbackDelayFrames = 192000;

// How the simulated converter behaves, beyond which devices exist.
struct Behaviour {
    Source source = Source::Silence;
    long loopbackDelayFrames = kDefaultLoopbackDelayFrames;
    // Non-empty: what the converter plays is appended to this WAV file.
    std::string capturePath;
};

struct Machine {
    std::vector<WaveDevice> devices;
    std::vector<FriendlyName> friendlyNames;
    DeviceAccess access;  // endpoints, topology devices, mixers
    Behaviour behaviour;

    std::vector<const WaveDevice*> devicesOf(Direction direction) const;
    // Null when SetupAPI would find no device for this instance id
    // (compared without regard to case).
    const FriendlyName* findInstance(const std::string& instanceId) const;
};

struct ParseResult {
    bool ok = false;
    Machine machine;
    int errorLine = 0;  // 1-based line of the first error
    std::string error;
};

constexpr std::size_t kMaxDevices = 32;
constexpr std::size_t kMaxFieldBytes = 512;

ParseResult parseMachine(const std::string& text);

// "silence", "tone", "counting" or "loopback" (any case); false for anything else.
bool parseSource(const std::string& name, Source& source);
const char* sourceName(Source source);

// True when a device interface path or instance id names the converter: it
// carries VID_3A5C&PID_0050, in any case.
bool isConverterPath(const std::string& path);

// One converter with a wave-in and a wave-out device, and its friendly name.
Machine defaultMachine();
extern const char kDefaultInterfacePath[];
extern const char kDefaultInstanceId[];
extern const char kDefaultProductName[];
extern const char kDefaultFriendlyName[];

}  // namespace rk50sim
