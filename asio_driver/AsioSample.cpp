#include "AsioSample.h"

#include "DriverClsid.h"
#include "DriverSettings.h"
#include "OsFamily.h"
#include "PanelLink.h"

#include "../shared/RK50Constants.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace rk50 {

namespace {

constexpr char kProfileSection[] = "VarnelRK50AsioDrv";
constexpr char kDriverName[] = "Varnel RK50 ASIO";
constexpr char kOpenFailureText[] = "ASIO Driver open failure!";
constexpr long kDriverVersion = 1;
constexpr int kAsioNameBytes = 32;

void copyBounded(char* destination, int capacity, const char* source)
{
    snprintf(destination, static_cast<size_t>(capacity), "%s", source);
}

void writeProfileInt(const char* key, int value)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    WriteProfileStringA(kProfileSection, key, text);
}

}  // namespace

CUnknown* AsioSample::createInstance(IUnknown* outer, HRESULT*)
{
    return new (std::nothrow) AsioSample(outer);
}

AsioSample::AsioSample(IUnknown* outer)
    : CUnknown("AsioSample", outer),
      statusMapping(nullptr),
      statusView(nullptr),
      osFamily(kOsFamilyUnclassified),
      autoSizeDivisor(40),
      bufferFrames(kMaxBufferFrames),
      preferredFrames(kMaxBufferFrames),
      useFixedSize(0),
      silencedBlocks(0),
      outputPortName(),
      inputPortName(),
      outputPortsFound(0),
      inputPortsFound(0),
      outputDeviceId(),
      inputDeviceId(),
      outputPortsOpen(0),
      inputPortsOpen(0),
      waveOutHandle(),
      waveInHandle(),
      outputDoneProc(),
      inputDataProc(),
      deviceFormat(),
      sampleBits(kDefaultSampleBits),
      activeInputCount(0),
      activeOutputCount(0),
      positionFrames(0.0),
      currentRate(kDefaultSampleRate),
      hostCallbacks(nullptr),
      timeInfo(),
      lastSystemTime(),
      inputBufferMemory(),
      outputBufferMemory(),
      inputChannelOf(),
      outputChannelOf(),
      inputPortMask(),
      outputPortMask(),
      inputPortCopied(),
      outputPortCopied(),
      reportedInputLatency(kMaxBufferFrames),
      reportedOutputLatency(2 * kMaxBufferFrames),
      halfIndex(0),
      bufferMillis(0),
      isInitialized(0),
      isStarted(0),
      timeCodeEnabled(0),
      errorText(),
      inputChannelCount(0),
      outputChannelCount(0),
      watcherThread(nullptr),
      watcherQuit(0),
      watcherWake(nullptr),
      statusBlockCreated(false)
{
    classifyOs();
    autoSizeDivisor = autoSizeDivisorFor(osFamily);
    loadProfileSettings();
    bufferMillis = bufferMillisFor(bufferFrames, currentRate);
    useTimeInfo = 0;
    openStatusBlock();
    bufferMillis = bufferMillisFor(bufferFrames, currentRate);
    publishSettings();
}

AsioSample::~AsioSample()
{
    stop();
    closeOutputPorts();
    closeInputPorts();
    disposeBuffers();
    saveProfileSettings();
    if (hasStatusBlock()) {
        statusView->driverLoaded = 0;
        notifyPanel(ASIOWM_DRVUNLOAD);
    }
    StatusBlockMapping block{statusMapping, statusView, statusBlockCreated};
    closeStatusBlockMapping(block);
    statusMapping = nullptr;
    statusView = nullptr;
}

void AsioSample::classifyOs()
{
    OSVERSIONINFOEXA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    BOOL ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    if (!ok) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        ok = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    }
    osFamily = ok ? classifyOsFamily(version.dwPlatformId, version.dwMajorVersion,
                                     version.dwMinorVersion)
                  : kOsFamilyUnclassified;
    // A version the table does not know is newer than it in practice: treat it
    // as the newest family so the object stays fully usable.
    if (osFamily == kOsFamilyUnclassified)
        osFamily = kOsFamilyNt6;
}

void AsioSample::loadProfileSettings()
{
    preferredFrames = static_cast<int>(GetProfileIntA(kProfileSection, "PrfBufSize", kMaxBufferFrames));
    useFixedSize = static_cast<int>(GetProfileIntA(kProfileSection, "UsePrfBufSize", 0));
    currentRate = storedRateToSampleRate(GetProfileIntA(kProfileSection, "SampleRate", 44100));
    sampleBits = normalizedSampleBits(static_cast<int>(GetProfileIntA(kProfileSection, "BitPerSample", kDefaultSampleBits)));
    // Without a valid fixed size the preferred size is the automatic one.
    if (!useFixedSize || !isFixedBufferSizeInRange(preferredFrames))
        preferredFrames = automaticBufferFrames(currentRate, autoSizeDivisor);
}

void AsioSample::saveProfileSettings()
{
    writeProfileInt("SampleRate", static_cast<int>(currentRate));
    writeProfileInt("PrfBufSize", preferredFrames);
    writeProfileInt("UsePrfBufSize", useFixedSize);
    writeProfileInt("BitPerSample", sampleBits);
}

int AsioSample::preferredFramesFromBlock() const
{
    if (statusView->cfgUseFixedBufferSize && isFixedBufferSizeInRange(statusView->cfgBufferSize))
        return statusView->cfgBufferSize;
    return automaticBufferFrames(currentRate, autoSizeDivisor);
}

void AsioSample::openStatusBlock()
{
    StatusBlockMapping block;
    if (!openStatusBlockMapping(block))
        return;
    statusMapping = block.mapping;
    statusView = block.view;
    statusBlockCreated = block.created;
    if (!hasStatusBlock())
        return;
    if (block.created) {
        statusView->cfgSampleRate = static_cast<int>(currentRate);
        statusView->cfgBitsPerSample = sampleBits;
        statusView->cfgBufferSize = preferredFrames;
        statusView->cfgUseFixedBufferSize = useFixedSize;
    } else {
        currentRate = storedRateToSampleRate(static_cast<std::uint32_t>(statusView->cfgSampleRate));
        sampleBits = normalizedSampleBits(statusView->cfgBitsPerSample);
        useFixedSize = statusView->cfgUseFixedBufferSize;
        preferredFrames = preferredFramesFromBlock();
    }
}

void AsioSample::publishSettings()
{
    if (!hasStatusBlock())
        return;
    statusView->driverLoaded = 1;
    statusView->sampleRate = static_cast<int>(currentRate);
    statusView->bitsPerSample = sampleBits;
    statusView->minBufferSize = kMinBufferFrames;
    statusView->maxBufferSize = kMaxBufferFrames;
    statusView->preferredBufferSize = preferredFrames;
    statusView->bufferGranularity = kBufferGranularity;
    notifyPanel(ASIOWM_DRVLOAD);
}

// IUnknown, forwarded to whoever controls the object's lifetime.

HRESULT STDMETHODCALLTYPE AsioSample::QueryInterface(REFIID iid, void** object)
{
    return owner()->QueryInterface(iid, object);
}

ULONG STDMETHODCALLTYPE AsioSample::AddRef()
{
    return owner()->AddRef();
}

ULONG STDMETHODCALLTYPE AsioSample::Release()
{
    return owner()->Release();
}

HRESULT STDMETHODCALLTYPE AsioSample::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    // Hosts ask for the class id itself to obtain IASIO.
    if (object && IsEqualGUID(iid, CLSID_VarnelRK50ASIO)) {
        IASIO* asio = this;
        *object = asio;
        asio->AddRef();
        return S_OK;
    }
    return CUnknown::NonDelegatingQueryInterface(iid, object);
}

// IASIO

void AsioSample::resetPortState()
{
    inputPortsFound = outputPortsFound = 0;
    inputPortsOpen = outputPortsOpen = 0;
    for (int p = 0; p < kMaxPorts; ++p) {
        inputPortName[p][0] = '\0';
        outputPortName[p][0] = '\0';
        inputRings[p] = PortRingMapping{};
        outputRings[p] = PortRingMapping{};
        waveInHandle[p] = nullptr;
        waveOutHandle[p] = nullptr;
    }
    copyBounded(errorText, sizeof errorText, kOpenFailureText);
}

ASIOBool AsioSample::init(void*)
{
    if (isInitialized)
        return ASIOTrue;
    resetPortState();
    if (!findInputPorts() || !findOutputPorts()) {
        closeOutputPorts();
        closeInputPorts();
        // A half-found device is no device: report no channels at all.
        inputChannelCount = outputChannelCount = 0;
        return ASIOFalse;
    }
    isInitialized = 1;
    if (hasStatusBlock()) {
        statusView->inputPortCount = inputPortsFound;
        statusView->outputPortCount = outputPortsFound;
    }
    notifyPanel(ASIOWM_INIT);
    return ASIOTrue;
}

void AsioSample::getDriverName(char* name)
{
    if (name)
        copyBounded(name, kAsioNameBytes, kDriverName);
}

long AsioSample::getDriverVersion()
{
    return kDriverVersion;
}

void AsioSample::getErrorMessage(char* string)
{
    if (string)
        copyBounded(string, kErrorTextBytes, errorText);
}

ASIOError AsioSample::getChannels(long* numInputChannels, long* numOutputChannels)
{
    if (!numInputChannels || !numOutputChannels)
        return ASE_InvalidParameter;
    *numInputChannels = inputChannelCount;
    *numOutputChannels = outputChannelCount;
    return ASE_OK;
}

ASIOError AsioSample::getLatencies(long* inputLatency, long* outputLatency)
{
    if (!inputLatency || !outputLatency)
        return ASE_InvalidParameter;
    *inputLatency = reportedInputLatency;
    *outputLatency = reportedOutputLatency;
    return ASE_OK;
}

ASIOError AsioSample::getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                                    long* granularity)
{
    if (!minSize || !maxSize || !preferredSize || !granularity)
        return ASE_InvalidParameter;
    *minSize = kMinBufferFrames;
    *maxSize = kMaxBufferFrames;
    *preferredSize = preferredFrames;
    *granularity = kBufferGranularity;
    if (hasStatusBlock()) {
        useFixedSize = statusView->cfgUseFixedBufferSize;
        if (useFixedSize && isFixedBufferSizeInRange(statusView->cfgBufferSize)) {
            preferredFrames = roundDownToGranularity(statusView->cfgBufferSize);
            *preferredSize = preferredFrames;
        } else if (!useFixedSize) {
            // The panel switched back to automatic: drop the old fixed size.
            preferredFrames = automaticBufferFrames(currentRate, autoSizeDivisor);
            *preferredSize = preferredFrames;
        }
        statusView->minBufferSize = kMinBufferFrames;
        statusView->maxBufferSize = kMaxBufferFrames;
        statusView->preferredBufferSize = static_cast<int>(*preferredSize);
        statusView->bufferGranularity = kBufferGranularity;
        notifyPanel(ASIOWM_GETBUFSIZE);
    } else if (!useFixedSize) {
        *preferredSize = automaticBufferFrames(currentRate, autoSizeDivisor);
    }
    return ASE_OK;
}

ASIOError AsioSample::canSampleRate(ASIOSampleRate sampleRate)
{
    return isSupportedSampleRate(sampleRate) ? ASE_OK : ASE_NoClock;
}

ASIOError AsioSample::getSampleRate(ASIOSampleRate* sampleRate)
{
    if (!sampleRate)
        return ASE_InvalidParameter;
    *sampleRate = currentRate;
    return ASE_OK;
}

ASIOError AsioSample::setSampleRate(ASIOSampleRate sampleRate)
{
    if (canSampleRate(sampleRate) != ASE_OK)
        return ASE_NoClock;
    if (sampleRate != currentRate) {
        currentRate = sampleRate;
        timeInfo.timeInfo.sampleRate = sampleRate;
        timeInfo.timeInfo.flags |= kSampleRateChanged;
        bufferMillis = bufferMillisFor(bufferFrames, sampleRate);
        if (hostCallbacks && hostCallbacks->sampleRateDidChange)
            hostCallbacks->sampleRateDidChange(sampleRate);
        if (hostCallbacks && hostCallbacks->asioMessage)
            hostCallbacks->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
        if (hasStatusBlock()) {
            useFixedSize = statusView->cfgUseFixedBufferSize;
            preferredFrames = preferredFramesFromBlock();
        } else if (!useFixedSize) {
            preferredFrames = automaticBufferFrames(currentRate, autoSizeDivisor);
        }
    }
    if (hasStatusBlock())
        statusView->sampleRate = static_cast<int>(currentRate);
    notifyPanel(ASIOWM_SMPLRATECHANGE);
    return ASE_OK;
}

ASIOError AsioSample::getClockSources(ASIOClockSource* clocks, long* numSources)
{
    if (!clocks || !numSources)
        return ASE_InvalidParameter;
    clocks[0].index = 0;
    clocks[0].associatedChannel = -1;
    clocks[0].associatedGroup = -1;
    clocks[0].isCurrentSource = ASIOTrue;
    copyBounded(clocks[0].name, sizeof clocks[0].name, "Internal");
    *numSources = 1;
    return ASE_OK;
}

ASIOError AsioSample::setClockSource(long reference)
{
    if (reference != 0)
        return ASE_NotPresent;
    timeInfo.timeInfo.flags |= kClockSourceChanged;
    return ASE_OK;
}

ASIOError AsioSample::getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp)
{
    if (!sPos || !tStamp)
        return ASE_InvalidParameter;
    *tStamp = lastSystemTime;
    std::uint32_t hi = 0;
    std::uint32_t lo = 0;
    splitSamplePosition(positionFrames, hi, lo);
    sPos->hi = hi;
    sPos->lo = lo;
    return ASE_OK;
}

ASIOError AsioSample::getChannelInfo(ASIOChannelInfo* info)
{
    if (!info)
        return ASE_InvalidParameter;
    const bool input = info->isInput != ASIOFalse;
    const long channel = info->channel;
    if (channel < 0 || channel >= (input ? inputChannelCount : outputChannelCount))
        return ASE_InvalidParameter;
    if (hasStatusBlock()) {
        int wanted = statusView->cfgBitsPerSample;
        if (wanted == 16 || wanted == 24 || wanted == 32)
            sampleBits = wanted;
        statusView->bitsPerSample = sampleBits;
        notifyPanel(ASIOWM_GETCHANNELINFO);
    }
    info->type = sampleBits == 24 ? ASIOSTInt24LSB
                 : sampleBits == 32 ? ASIOSTInt32LSB
                                    : ASIOSTInt16LSB;
    info->channelGroup = 0;
    const char* portName = input ? inputPortName[channel / 2] : outputPortName[channel / 2];
    snprintf(info->name, sizeof info->name, "%s %s", portName, channel % 2 ? "(R)" : "(L)");
    const int* channelOf = input ? inputChannelOf : outputChannelOf;
    const int activeCount = input ? activeInputCount : activeOutputCount;
    info->isActive = ASIOFalse;
    for (int i = 0; i < activeCount; ++i) {
        if (channelOf[i] == channel)
            info->isActive = ASIOTrue;
    }
    return ASE_OK;
}

ASIOError AsioSample::future(long selector, void*)
{
    switch (selector) {
    case kAsioEnableTimeCodeRead:
        timeCodeEnabled = 1;
        return ASE_SUCCESS;
    case kAsioDisableTimeCodeRead:
        timeCodeEnabled = 0;
        return ASE_SUCCESS;
    case kAsioSetInputMonitor:
    case kAsioCanInputMonitor:
    case kAsioCanTimeInfo:
    case kAsioCanTimeCode:
        return ASE_SUCCESS;
    default:
        return ASE_NotPresent;
    }
}

ASIOError AsioSample::outputReady()
{
    // Not supported, so hosts do not call it for every buffer.
    return ASE_NotPresent;
}

}  // namespace rk50
