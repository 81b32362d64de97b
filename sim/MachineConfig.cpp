#include "MachineConfig.h"

#include <cctype>

namespace rk50sim {

const char kDefaultInterfacePath[] =
    "\\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&1A2B3C4&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\GLOBAL";
const char kDefaultInstanceId[] = "USB\\VID_3A5C&PID_0050&MI_00\\6&1A2B3C4&0&0000";
const char kDefaultProductName[] = "Varnel RK50";
const char kDefaultFriendlyName[] = "Varnel RK50 USB Audio";

namespace {

std::string trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool sameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// "left | right" or "left"; right is empty and hasRight false without a bar.
struct Fields {
    std::string left;
    bool hasRight = false;
    std::string right;
};

Fields splitFields(const std::string& value)
{
    Fields fields;
    const std::size_t bar = value.find('|');
    fields.left = trim(value.substr(0, bar));
    if (bar != std::string::npos) {
        fields.hasRight = true;
        fields.right = trim(value.substr(bar + 1));
    }
    return fields;
}

bool parseDecimal(const std::string& text, long maximum, long& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result > maximum)
        return false;
    value = result;
    return true;
}

}  // namespace

bool parseSource(const std::string& name, Source& source)
{
    const Source all[] = {Source::Silence, Source::Tone, Source::Counting, Source::Loopback};
    for (Source candidate : all) {
        if (sameIgnoringCase(name, sourceName(candidate))) {
            source = candidate;
            return true;
        }
    }
    return false;
}

const char* sourceName(Source source)
{
    switch (source) {
    case Source::Silence: return "silence";
    case Source::Tone: return "tone";
    case Source::Counting: return "counting";
    case Source::Loopback: return "loopback";
    }
    return "silence";
}

bool isConverterPath(const std::string& path)
{
    static const char kIds[] = "VID_3A5C&PID_0050";
    const std::size_t length = sizeof kIds - 1;
    for (std::size_t at = 0; at + length <= path.size(); ++at) {
        if (sameIgnoringCase(path.substr(at, length), kIds))
            return true;
    }
    return false;
}

std::vector<const WaveDevice*> Machine::devicesOf(Direction direction) const
{
    std::vector<const WaveDevice*> result;
    for (const WaveDevice& device : devices) {
        if (device.direction == direction)
            result.push_back(&device);
    }
    return result;
}

const FriendlyName* Machine::findInstance(const std::string& instanceId) const
{
    for (const FriendlyName& entry : friendlyNames) {
        if (sameIgnoringCase(entry.instanceId, instanceId))
            return &entry;
    }
    return nullptr;
}

ParseResult parseMachine(const std::string& text)
{
    ParseResult result;
    auto fail = [&result](int line, const std::string& why) {
        result.ok = false;
        result.errorLine = line;
        result.error = why;
        result.machine = Machine{};
        return result;
    };

    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;

        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            return fail(lineNumber, "expected key = value");
        const std::string key = trim(line.substr(0, equals));
        const Fields fields = splitFields(line.substr(equals + 1));
        if (fields.left.size() > kMaxFieldBytes || fields.right.size() > kMaxFieldBytes)
            return fail(lineNumber, "field longer than 512 bytes");
        if (fields.right.find('|') != std::string::npos)
            return fail(lineNumber, "more than two fields");

        if (key == "wavein" || key == "waveout") {
            if (fields.left.empty())
                return fail(lineNumber, "missing interface path (use - for none)");
            if (result.machine.devices.size() >= kMaxDevices)
                return fail(lineNumber, "more than 32 wave devices");
            WaveDevice device;
            device.direction = key == "wavein" ? Direction::In : Direction::Out;
            device.hasPath = fields.left != "-";
            if (device.hasPath)
                device.interfacePath = fields.left;
            device.productName = fields.right;
            result.machine.devices.push_back(device);
        } else if (key == "friendly") {
            if (fields.left.empty())
                return fail(lineNumber, "missing instance id");
            FriendlyName entry;
            entry.instanceId = fields.left;
            entry.hasName = fields.hasRight;
            entry.name = fields.right;
            result.machine.friendlyNames.push_back(entry);
        } else if (isDeviceAccessKey(key)) {
            const std::string why =
                parseDeviceAccessEntry(key, fields.left, fields.hasRight, fields.right, result.machine.access);
            if (!why.empty())
                return fail(lineNumber, why);
        } else if (key == "source" || key == "loopback_delay" || key == "capture_wav") {
            if (fields.hasRight)
                return fail(lineNumber, "more than one field");
            Behaviour& behaviour = result.machine.behaviour;
            if (key == "source" && !parseSource(fields.left, behaviour.source))
                return fail(lineNumber, "source must be silence, tone, counting or loopback");
            if (key == "loopback_delay" &&
                !parseDecimal(fields.left, kMaxLoopbackDelayFrames, behaviour.loopbackDelayFrames))
                return fail(lineNumber, "loopback_delay must be 0 to 192000 frames");
            if (key == "capture_wav") {
                if (fields.left.empty() || fields.left.size() >= 260)
                    return fail(lineNumber, "capture_wav needs a path shorter than 260 bytes");
                behaviour.capturePath = fields.left;
            }
        } else {
            return fail(lineNumber, "unknown key '" + key + "'");
        }
    }
    result.ok = true;
    return result;
}

Machine defaultMachine()
{
    Machine machine;
    for (Direction direction : {Direction::In, Direction::Out}) {
        WaveDevice device;
        device.direction = direction;
        device.interfacePath = kDefaultInterfacePath;
        device.productName = kDefaultProductName;
        machine.devices.push_back(device);
    }
    FriendlyName friendly;
    friendly.instanceId = kDefaultInstanceId;
    friendly.name = kDefaultFriendlyName;
    machine.friendlyNames.push_back(friendly);
    machine.access = defaultDeviceAccess();
    return machine;
}

}  // namespace rk50sim
