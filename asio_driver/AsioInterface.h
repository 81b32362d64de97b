// The ASIO driver interface as hosts see it: the records, constants and the
// IASIO vtable. Declared here from the published binary interface so that hosts
// built with any compiler can use the driver:
// - on 32-bit Windows the records use 4-byte packing (doubles are not 8-aligned
//   inside them); 64-bit builds use the natural alignment;
// - IASIO's own methods use the default C++ member convention (thiscall on x86);
// - QueryInterface/AddRef/Release are __stdcall, as inherited from IUnknown;
// - the four host callbacks are plain cdecl function pointers.
#pragma once

#include <windows.h>
#include <cstddef>

typedef long ASIOBool;
typedef long ASIOError;
typedef long ASIOSampleType;
typedef double ASIOSampleRate;

enum : long { ASIOFalse = 0, ASIOTrue = 1 };

enum : long {
    ASE_OK = 0,
    ASE_SUCCESS = 0x3F4847A0,
    ASE_NotPresent = -1000,
    ASE_HWMalfunction = -999,
    ASE_InvalidParameter = -998,
    ASE_InvalidMode = -997,
    ASE_SPNotAdvancing = -996,
    ASE_NoClock = -995,
    ASE_NoMemory = -994,
};

enum : long {
    ASIOSTInt16MSB = 0,
    ASIOSTInt24MSB = 1,
    ASIOSTInt32MSB = 2,
    ASIOSTFloat32MSB = 3,
    ASIOSTFloat64MSB = 4,
    ASIOSTInt16LSB = 16,
    ASIOSTInt24LSB = 17,
    ASIOSTInt32LSB = 18,
    ASIOSTFloat32LSB = 19,
    ASIOSTFloat64LSB = 20,
};

// Selectors of the host's asioMessage callback.
enum : long {
    kAsioSelectorSupported = 1,
    kAsioEngineVersion = 2,
    kAsioResetRequest = 3,
    kAsioBufferSizeChange = 4,
    kAsioResyncRequest = 5,
    kAsioLatenciesChanged = 6,
    kAsioSupportsTimeInfo = 7,
    kAsioSupportsTimeCode = 8,
};

// Selectors of IASIO::future.
enum : long {
    kAsioEnableTimeCodeRead = 1,
    kAsioDisableTimeCodeRead = 2,
    kAsioSetInputMonitor = 3,
    kAsioTransport = 4,
    kAsioSetInputGain = 5,
    kAsioGetInputMeter = 6,
    kAsioSetOutputGain = 7,
    kAsioGetOutputMeter = 8,
    kAsioCanInputMonitor = 9,
    kAsioCanTimeInfo = 10,
    kAsioCanTimeCode = 11,
};

// AsioTimeInfo flags.
enum : unsigned long {
    kSystemTimeValid = 1,
    kSamplePositionValid = 2,
    kSampleRateValid = 4,
    kSpeedValid = 8,
    kSampleRateChanged = 0x10,
    kClockSourceChanged = 0x20,
};

// ASIOTimeCode flags.
enum : unsigned long {
    kTcValid = 1,
    kTcRunning = 2,
    kTcReverse = 4,
    kTcOnspeed = 8,
    kTcStill = 0x10,
    kTcSpeedValid = 0x100,
};

#if !defined(_WIN64)
#pragma pack(push, 4)
#endif

// 64-bit quantities as two 32-bit halves, high first.
struct ASIOSamples {
    unsigned long hi;
    unsigned long lo;
};

struct ASIOTimeStamp {
    unsigned long hi;
    unsigned long lo;
};

struct ASIOClockSource {
    long index;
    long associatedChannel;
    long associatedGroup;
    ASIOBool isCurrentSource;
    char name[32];
};

struct ASIOChannelInfo {
    long channel;
    ASIOBool isInput;
    ASIOBool isActive;
    long channelGroup;
    ASIOSampleType type;
    char name[32];
};

struct ASIOBufferInfo {
    ASIOBool isInput;
    long channelNum;
    void* buffers[2];
};

struct AsioTimeInfo {
    double speed;
    ASIOTimeStamp systemTime;
    ASIOSamples samplePosition;
    ASIOSampleRate sampleRate;
    unsigned long flags;
    char reserved[12];
};

struct ASIOTimeCode {
    double speed;
    ASIOSamples timeCodeSamples;
    unsigned long flags;
    char future[64];
};

struct ASIOTime {
    long reserved[4];
    AsioTimeInfo timeInfo;
    ASIOTimeCode timeCode;
};

struct ASIOCallbacks {
    void(__cdecl* bufferSwitch)(long doubleBufferIndex, ASIOBool directProcess);
    void(__cdecl* sampleRateDidChange)(ASIOSampleRate sRate);
    long(__cdecl* asioMessage)(long selector, long value, void* message, double* opt);
    ASIOTime*(__cdecl* bufferSwitchTimeInfo)(ASIOTime* params, long doubleBufferIndex,
                                             ASIOBool directProcess);
};

#if !defined(_WIN64)
#pragma pack(pop)
#endif

static_assert(sizeof(long) == 4, "ASIO longs are 32-bit on Windows");
static_assert(sizeof(ASIOSamples) == 8 && sizeof(ASIOTimeStamp) == 8, "ASIO 64-bit pairs");
static_assert(sizeof(AsioTimeInfo) == 48, "AsioTimeInfo");
static_assert(offsetof(ASIOTime, timeInfo) == 16, "ASIOTime.timeInfo");
static_assert(offsetof(ASIOTime, timeCode) == 64, "ASIOTime.timeCode");
static_assert(sizeof(ASIOChannelInfo) == 52, "ASIOChannelInfo");
static_assert(sizeof(ASIOClockSource) == 48, "ASIOClockSource");
#if defined(_WIN64)
static_assert(sizeof(ASIOTimeCode) == 88, "ASIOTimeCode");
static_assert(sizeof(ASIOTime) == 152, "ASIOTime");
static_assert(sizeof(ASIOBufferInfo) == 24, "ASIOBufferInfo");
static_assert(sizeof(ASIOCallbacks) == 32, "ASIOCallbacks");
#else
static_assert(sizeof(ASIOTimeCode) == 84, "ASIOTimeCode");
static_assert(sizeof(ASIOTime) == 148, "ASIOTime");
static_assert(sizeof(ASIOBufferInfo) == 16, "ASIOBufferInfo");
static_assert(sizeof(ASIOCallbacks) == 16, "ASIOCallbacks");
#endif

// Slot order after IUnknown's three entries is the binary contract.
struct IASIO : public IUnknown {
    virtual ASIOBool init(void* sysHandle) = 0;
    virtual void getDriverName(char* name) = 0;
    virtual long getDriverVersion() = 0;
    virtual void getErrorMessage(char* string) = 0;
    virtual ASIOError start() = 0;
    virtual ASIOError stop() = 0;
    virtual ASIOError getChannels(long* numInputChannels, long* numOutputChannels) = 0;
    virtual ASIOError getLatencies(long* inputLatency, long* outputLatency) = 0;
    virtual ASIOError getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                                    long* granularity) = 0;
    virtual ASIOError canSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getSampleRate(ASIOSampleRate* sampleRate) = 0;
    virtual ASIOError setSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError getClockSources(ASIOClockSource* clocks, long* numSources) = 0;
    virtual ASIOError setClockSource(long reference) = 0;
    virtual ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) = 0;
    virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError createBuffers(ASIOBufferInfo* bufferInfos, long numChannels,
                                    long bufferSize, ASIOCallbacks* callbacks) = 0;
    virtual ASIOError disposeBuffers() = 0;
    virtual ASIOError controlPanel() = 0;
    virtual ASIOError future(long selector, void* opt) = 0;
    virtual ASIOError outputReady() = 0;
};
