// The driver object: what an ASIO host creates through COM and drives through
// IASIO. It presents the converter's stereo wave-in and wave-out ports as two
// input and two output channels, keeps the settings, and reports its state to
// the control panel through the status block and WM_COMMAND codes.
//
// Only one driver object per process is supported: the port rings, the wave
// headers and the streaming thread are process-wide.
#pragma once

#include "AsioInterface.h"
#include "ComBase.h"
#include "HardwareIds.h"
#include "PortRing.h"

#include "../shared/StatusBlockMapping.h"

#include <mmsystem.h>
#include <mmreg.h>
#include <ks.h>
#include <ksmedia.h>

namespace rk50 {

constexpr int kPortNameBytes = 64;
constexpr int kDisplayNameBytes = 128;
constexpr int kErrorTextBytes = 128;

class AsioSample : public IASIO, public CUnknown {
public:
    static CUnknown* createInstance(IUnknown* outer, HRESULT* result);

    explicit AsioSample(IUnknown* outer);
    ~AsioSample() override;

    // IUnknown: forwarded to the owner.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IASIO
    ASIOBool init(void* sysHandle) override;
    void getDriverName(char* name) override;
    long getDriverVersion() override;
    void getErrorMessage(char* string) override;
    ASIOError start() override;
    ASIOError stop() override;
    ASIOError getChannels(long* numInputChannels, long* numOutputChannels) override;
    ASIOError getLatencies(long* inputLatency, long* outputLatency) override;
    ASIOError getBufferSize(long* minSize, long* maxSize, long* preferredSize,
                            long* granularity) override;
    ASIOError canSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getSampleRate(ASIOSampleRate* sampleRate) override;
    ASIOError setSampleRate(ASIOSampleRate sampleRate) override;
    ASIOError getClockSources(ASIOClockSource* clocks, long* numSources) override;
    ASIOError setClockSource(long reference) override;
    ASIOError getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) override;
    ASIOError getChannelInfo(ASIOChannelInfo* info) override;
    ASIOError createBuffers(ASIOBufferInfo* bufferInfos, long numChannels, long bufferSize,
                            ASIOCallbacks* callbacks) override;
    ASIOError disposeBuffers() override;
    ASIOError controlPanel() override;
    ASIOError future(long selector, void* opt) override;
    ASIOError outputReady() override;

private:
    typedef void(CALLBACK* WaveProc)(HANDLE, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

    void classifyOs();
    void loadProfileSettings();
    void saveProfileSettings();
    void openStatusBlock();
    void publishSettings();
    bool hasStatusBlock() const { return isStatusBlockValid(statusView); }
    void resetPortState();
    int preferredFramesFromBlock() const;

    // The streaming engine (StreamingEngine.cpp).
    void fillDeviceFormat();
    bool openOutputPorts();
    bool openInputPorts();
    void closeWavePorts();
    void closePortsAfterFailedStart();
    void zeroRings();
    void freeHostBuffers();

    // The real-time path (BufferSwitch.cpp).
    friend DWORD WINAPI streamingThreadMain(void* owner);
    bool blockIsDue() const;
    DWORD waitMillis() const;
    void processBlock();
    void copyInputBlock();
    void copyOutputBlock();
    void switchWithTimeInfo();
    void readSystemTime();

    // The reset-request watcher (ResetWatcher.cpp).
    static DWORD WINAPI watcherMain(void* self);
    void startResetWatcher();
    void stopResetWatcher();
    void watchForResetRequests();

    // Port discovery (PortDiscovery.cpp).
    bool findInputPorts();
    bool findOutputPorts();
    bool findPorts(PortDirection direction);
    void closeOutputPorts();
    void closeInputPorts();

    // Fields in the order the driver's design lays them down.
    HANDLE statusMapping;
    AsioStatusBlock* statusView;
    int osFamily;
    int autoSizeDivisor;
    int bufferFrames;
    int preferredFrames;
    int useFixedSize;
    int silencedBlocks;
    char outputPortName[kMaxPorts][kPortNameBytes];
    char inputPortName[kMaxPorts][kPortNameBytes];
    int outputPortsFound;
    int inputPortsFound;
    int outputDeviceId[kMaxPorts];
    int inputDeviceId[kMaxPorts];
    int outputPortsOpen;
    int inputPortsOpen;
    HWAVEOUT waveOutHandle[kMaxPorts];
    HWAVEIN waveInHandle[kMaxPorts];
    WaveProc outputDoneProc[kMaxPorts];
    WaveProc inputDataProc[kMaxPorts];
    WAVEFORMATEXTENSIBLE deviceFormat;
    int sampleBits;
    int activeInputCount;
    int activeOutputCount;
    double positionFrames;
    double currentRate;
    ASIOCallbacks* hostCallbacks;
    ASIOTime timeInfo;
    ASIOTimeStamp lastSystemTime;
    void* inputBufferMemory[kMaxPorts];
    void* outputBufferMemory[kMaxPorts];
    int inputChannelOf[kMaxPorts];
    int outputChannelOf[kMaxPorts];
    int inputPortMask[kMaxPorts];
    int outputPortMask[kMaxPorts];
    int inputPortCopied[kMaxPorts];
    int outputPortCopied[kMaxPorts];
    int reportedInputLatency;
    int reportedOutputLatency;
    int halfIndex;
    int bufferMillis;
    BYTE isInitialized;
    BYTE isStarted;
    BYTE timeCodeEnabled;
    char errorText[kErrorTextBytes];
    int inputChannelCount;
    int outputChannelCount;
    HANDLE watcherThread;
    volatile LONG watcherQuit;
    HANDLE watcherWake;  // lets the watcher's once-a-second wait end at once

    bool statusBlockCreated;
};

// Process-wide streaming state: one driver object streams per process.
// The host takes bufferSwitchTimeInfo instead of bufferSwitch.
extern BYTE useTimeInfo;
// While set, the wave callbacks ignore every message.
extern volatile BYTE callbacksMuted;
// Header k of port p describes slot k of that port's ring.
extern WAVEHDR inputHeaders[kMaxPorts][kRingSlots];
extern WAVEHDR outputHeaders[kMaxPorts][kRingSlots];

void CALLBACK outputDoneCallback(HANDLE wave, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                 DWORD_PTR param2);
void CALLBACK inputDataCallback(HANDLE wave, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2);
void startStreamingThread(AsioSample* owner);
void stopStreamingThread();

}  // namespace rk50
