// Constants that the ASIO driver, the control panel and the installer assistant
// must agree on. The programs link against nothing of each other; these values
// are the whole contract between them (window title, command codes, the shared
// status block and the device's USB identity).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk50 {

// The control panel's main window is found by this exact title, without a class.
constexpr char kPanelWindowTitle[] = "Varnel RK50 Audio Control Panel";
constexpr wchar_t kPanelWindowTitleW[] = L"Varnel RK50 Audio Control Panel";

// The converter's USB identity, and the interface that carries its audio
// endpoints and mixer.
constexpr std::uint16_t kUsbVendorId = 0x3A5C;
constexpr std::uint16_t kUsbProductId = 0x0050;
constexpr std::uint8_t kUsbAudioInterface = 1;

}  // namespace rk50

// WM_COMMAND identifiers (wParam, high word 0, lParam 0) the driver sends to the panel.
constexpr unsigned ASIOWM_SHOWCPL = 0x8101;
constexpr unsigned ASIOWM_SMPLRATECHANGE = 0x8102;
constexpr unsigned ASIOWM_BUFCREATE = 0x8103;
constexpr unsigned ASIOWM_BUFDISPOSE = 0x8104;
constexpr unsigned ASIOWM_START = 0x8105;
constexpr unsigned ASIOWM_STOP = 0x8106;
constexpr unsigned ASIOWM_DRVLOAD = 0x8107;
constexpr unsigned ASIOWM_DRVUNLOAD = 0x8108;
constexpr unsigned ASIOWM_INIT = 0x8109;
constexpr unsigned ASIOWM_GETBUFSIZE = 0x810A;
constexpr unsigned ASIOWM_GETCHANNELINFO = 0x810B;

// The panel's own commands.
constexpr unsigned CPLCMD_SHOW = 0x8001;
constexpr unsigned CPLCMD_HIDE = 0x8002;
constexpr unsigned CPLCMD_EXIT = 0x8003;
constexpr unsigned CPLCMD_QUIT = 0x8100;

namespace rk50 {

constexpr char kStatusBlockName[] = "Varnel RK50 USB DAC ASIO CPL MMOBJ";
constexpr std::uint32_t kStatusBlockMagic = 0x60720786;
constexpr int kStatusPortNameBytes = 128;
constexpr int kStatusMaxPorts = 4;

}  // namespace rk50

// The named shared-memory block between the driver and the panel. No lock: each
// field has one writer; both sides check the magic before every access.
struct AsioStatusBlock {
    std::uint32_t magic;
    std::int32_t driverLoaded;
    std::int32_t streaming;
    std::int32_t sampleRate;
    std::int32_t bitsPerSample;
    std::int32_t minBufferSize;
    std::int32_t maxBufferSize;
    std::int32_t preferredBufferSize;
    std::int32_t bufferGranularity;
    std::int32_t bufferSize;
    std::int32_t activeOutputs;
    std::int32_t activeInputs;
    std::int32_t reserved[2];
    std::int32_t outputPortCount;
    char outputPortNames[rk50::kStatusMaxPorts][rk50::kStatusPortNameBytes];
    std::int32_t inputPortCount;
    char inputPortNames[rk50::kStatusMaxPorts][rk50::kStatusPortNameBytes];
    std::int32_t cfgSampleRate;
    std::int32_t cfgBitsPerSample;
    std::int32_t cfgBufferSize;
    std::int32_t cfgUseFixedBufferSize;
    std::int32_t panelRequested;
    std::int32_t resetRequest;
};

static_assert(offsetof(AsioStatusBlock, magic) == 0x000, "layout");
static_assert(offsetof(AsioStatusBlock, driverLoaded) == 0x004, "layout");
static_assert(offsetof(AsioStatusBlock, streaming) == 0x008, "layout");
static_assert(offsetof(AsioStatusBlock, sampleRate) == 0x00C, "layout");
static_assert(offsetof(AsioStatusBlock, bitsPerSample) == 0x010, "layout");
static_assert(offsetof(AsioStatusBlock, minBufferSize) == 0x014, "layout");
static_assert(offsetof(AsioStatusBlock, maxBufferSize) == 0x018, "layout");
static_assert(offsetof(AsioStatusBlock, preferredBufferSize) == 0x01C, "layout");
static_assert(offsetof(AsioStatusBlock, bufferGranularity) == 0x020, "layout");
static_assert(offsetof(AsioStatusBlock, bufferSize) == 0x024, "layout");
static_assert(offsetof(AsioStatusBlock, activeOutputs) == 0x028, "layout");
static_assert(offsetof(AsioStatusBlock, activeInputs) == 0x02C, "layout");
static_assert(offsetof(AsioStatusBlock, reserved) == 0x030, "layout");
static_assert(offsetof(AsioStatusBlock, outputPortCount) == 0x038, "layout");
static_assert(offsetof(AsioStatusBlock, outputPortNames) == 0x03C, "layout");
static_assert(offsetof(AsioStatusBlock, inputPortCount) == 0x23C, "layout");
static_assert(offsetof(AsioStatusBlock, inputPortNames) == 0x240, "layout");
static_assert(offsetof(AsioStatusBlock, cfgSampleRate) == 0x440, "layout");
static_assert(offsetof(AsioStatusBlock, cfgBitsPerSample) == 0x444, "layout");
static_assert(offsetof(AsioStatusBlock, cfgBufferSize) == 0x448, "layout");
static_assert(offsetof(AsioStatusBlock, cfgUseFixedBufferSize) == 0x44C, "layout");
static_assert(offsetof(AsioStatusBlock, panelRequested) == 0x450, "layout");
static_assert(offsetof(AsioStatusBlock, resetRequest) == 0x454, "layout");
static_assert(sizeof(AsioStatusBlock) == 1112, "the block is 1112 bytes on both sides");
