// Finding the converter's wave ports: walk the wave devices of one direction,
// take the first whose device-interface path carries the converter's USB ids,
// name it, fetch a display name for the panel and create its ring.
#include "AsioSample.h"

#include "OsFamily.h"
#include "PortDiscovery.h"

#include <mmddk.h>
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace rk50 {

namespace {

// {6994AD04-93EF-11D0-A3CC-00A0C9223196}
const GUID kKsCategoryAudio = {
    0x6994ad04, 0x93ef, 0x11d0, {0xa3, 0xcc, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};

constexpr char kNoFriendlyName[] = "No Friendly Name";

// The wave API's two directions differ only in which functions they call.
struct WaveDirection {
    UINT (*deviceCount)();
    MMRESULT (*message)(UINT device, UINT msg, DWORD_PTR p1, DWORD_PTR p2);
    bool (*productName)(UINT device, char* name, int capacity);
    const char* nameFormat;
};

const WaveDirection kInput = {
    [] { return waveInGetNumDevs(); },
    [](UINT device, UINT msg, DWORD_PTR p1, DWORD_PTR p2) {
        return waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(device)), msg, p1, p2);
    },
    [](UINT device, char* name, int capacity) {
        WAVEINCAPSA caps = {};
        if (waveInGetDevCapsA(device, &caps, sizeof caps) != MMSYSERR_NOERROR)
            return false;
        snprintf(name, static_cast<size_t>(capacity), "%s", caps.szPname);
        return true;
    },
    "Varnel_RK50_ASIO_In_%d",
};

const WaveDirection kOutput = {
    [] { return waveOutGetNumDevs(); },
    [](UINT device, UINT msg, DWORD_PTR p1, DWORD_PTR p2) {
        return waveOutMessage(reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(device)), msg, p1, p2);
    },
    [](UINT device, char* name, int capacity) {
        WAVEOUTCAPSA caps = {};
        if (waveOutGetDevCapsA(device, &caps, sizeof caps) != MMSYSERR_NOERROR)
            return false;
        snprintf(name, static_cast<size_t>(capacity), "%s", caps.szPname);
        return true;
    },
    "Varnel_RK50_ASIO_Out_%d",
};

// Reads a device's interface path; null when it has none. Free with free().
wchar_t* queryInterfacePath(const WaveDirection& wave, UINT device)
{
    ULONG size = 0;
    if (wave.message(device, DRV_QUERYDEVICEINTERFACESIZE, reinterpret_cast<DWORD_PTR>(&size), 0) !=
            MMSYSERR_NOERROR ||
        size == 0)
        return nullptr;
    // One spare character keeps the string terminated whatever the driver wrote.
    wchar_t* path = static_cast<wchar_t*>(calloc(size + sizeof(wchar_t), 1));
    if (!path)
        return nullptr;
    if (wave.message(device, DRV_QUERYDEVICEINTERFACE, reinterpret_cast<DWORD_PTR>(path), size) !=
        MMSYSERR_NOERROR) {
        free(path);
        return nullptr;
    }
    return path;
}

}  // namespace

void interfacePathToInstanceId(const wchar_t* path, char* output, int capacity)
{
    if (capacity <= 0)
        return;
    output[0] = '\0';
    if (wcslen(path) <= 4)
        return;
    // Skip the \\?\ prefix of interface paths.
    int needed = WideCharToMultiByte(CP_ACP, 0, path + 4, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0 || needed > capacity)
        return;
    if (WideCharToMultiByte(CP_ACP, 0, path + 4, -1, output, capacity, nullptr, nullptr) <= 0) {
        output[0] = '\0';
        return;
    }
    interfaceTailToInstanceId(output);
}

void lookUpFriendlyName(const char* instanceId, char* output, int capacity)
{
    output[0] = '\0';
    HDEVINFO set = SetupDiGetClassDevsA(&kKsCategoryAudio, instanceId, nullptr, DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (SetupDiEnumDeviceInfo(set, 0, &device)) {
        DWORD type = 0;
        if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, &type,
                                               reinterpret_cast<BYTE*>(output),
                                               static_cast<DWORD>(capacity) - 1, nullptr))
            output[0] = '\0';
        output[capacity - 1] = '\0';
    }
    SetupDiDestroyDeviceInfoList(set);
}

bool AsioSample::findInputPorts()
{
    return findPorts(PortDirection::Input);
}

bool AsioSample::findOutputPorts()
{
    return findPorts(PortDirection::Output);
}

bool AsioSample::findPorts(PortDirection direction)
{
    const bool input = direction == PortDirection::Input;
    const WaveDirection& wave = input ? kInput : kOutput;
    int& found = input ? inputPortsFound : outputPortsFound;
    char(*portName)[kPortNameBytes] = input ? inputPortName : outputPortName;
    int* deviceId = input ? inputDeviceId : outputDeviceId;
    PortRingMapping* rings = input ? inputRings : outputRings;

    const UINT devices = wave.deviceCount();
    for (UINT d = 0; d < devices && found == 0; ++d) {
        wchar_t* path = queryInterfacePath(wave, d);
        if (!path)
            continue;
        const int port = matchDeviceTable(direction, parseHardwareIds(path));
        char displayName[kDisplayNameBytes] = "";
        bool named = false;
        if (port >= 0 && osFamily == kOsFamilyNt6) {
            const int capacity = static_cast<int>(wcslen(path)) + 1;
            char* instanceId = static_cast<char*>(calloc(static_cast<size_t>(capacity), 1));
            if (instanceId) {
                interfacePathToInstanceId(path, instanceId, capacity);
                if (instanceId[0]) {
                    lookUpFriendlyName(instanceId, displayName, sizeof displayName);
                    if (!displayName[0])
                        snprintf(displayName, sizeof displayName, "%s", kNoFriendlyName);
                    named = true;
                }
                free(instanceId);
            }
        } else if (port >= 0) {
            // Without a product name the display name stays empty.
            wave.productName(d, displayName, sizeof displayName);
            named = true;
        }
        free(path);
        if (!named)
            continue;

        if (hasStatusBlock()) {
            char* blockName = input ? statusView->inputPortNames[port] : statusView->outputPortNames[port];
            snprintf(blockName, kStatusPortNameBytes, "%s", displayName);
        }
        snprintf(portName[port], kPortNameBytes, wave.nameFormat, port);
        deviceId[port] = static_cast<int>(d);
        if (openPortRing(portName[port], rings[port])) {
            memset(rings[port].view, 0, sizeof(PortRing));
            ++found;
        } else {
            portName[port][0] = '\0';
            deviceId[port] = 0;
        }
    }
    (input ? inputChannelCount : outputChannelCount) = 2 * found;
    return found > 0;
}

void AsioSample::closeOutputPorts()
{
    for (PortRingMapping& ring : outputRings)
        closePortRing(ring);
    outputPortsOpen = 0;
}

void AsioSample::closeInputPorts()
{
    for (PortRingMapping& ring : inputRings)
        closePortRing(ring);
    inputPortsOpen = 0;
}

}  // namespace rk50
