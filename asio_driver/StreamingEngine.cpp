// The host-facing control of streaming: the host buffers, the wave format,
// opening, priming and closing the ports, and the state they leave behind.
#include "AsioSample.h"

#include "DriverSettings.h"
#include "PanelLink.h"

#include "../shared/RK50Constants.h"

#include <cstdlib>
#include <cstring>

namespace rk50 {

BYTE useTimeInfo = 0;
volatile BYTE callbacksMuted = 1;
WAVEHDR inputHeaders[kMaxPorts][kRingSlots];
WAVEHDR outputHeaders[kMaxPorts][kRingSlots];

namespace {

constexpr int kPrimingBlocks = 4;
// Room for two halves of 4-byte samples, whatever the width.
constexpr int kHostBytesPerFrame = 8;

// {00000001-0000-0010-8000-00AA00389B71}
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

void describeSlots(WAVEHDR (&headers)[kRingSlots], PortRing* ring, int port, DWORD bytes)
{
    for (int k = 0; k < kRingSlots; ++k) {
        WAVEHDR& header = headers[k];
        memset(&header, 0, sizeof header);
        header.lpData = reinterpret_cast<LPSTR>(ring->slots[k]);
        header.dwBufferLength = bytes;
        header.dwUser = static_cast<DWORD_PTR>(port) * 65536 + static_cast<DWORD_PTR>(k);
    }
}

// One channel's memory; null both halves when it cannot be had.
void* allocateChannel(ASIOBufferInfo& info, int frames, int sampleBits)
{
    void* memory = calloc(static_cast<size_t>(kHostBytesPerFrame) * frames, 1);
    info.buffers[0] = memory;
    info.buffers[1] = memory ? static_cast<BYTE*>(memory) + (sampleBits / 8) * frames : nullptr;
    return memory;
}

}  // namespace

ASIOError AsioSample::createBuffers(ASIOBufferInfo* bufferInfos, long numChannels, long bufferSize,
                                    ASIOCallbacks* callbacks)
{
    if (isStarted || activeInputCount != 0 || activeOutputCount != 0 || bufferSize < kMinBufferFrames ||
        bufferSize > kMaxBufferFrames)
        return ASE_InvalidParameter;
    // Every switch and every request goes through these two.
    if (!callbacks || !callbacks->asioMessage || !callbacks->bufferSwitch)
        return ASE_InvalidParameter;
    if (numChannels > 0 && !bufferInfos)
        return ASE_InvalidParameter;

    bufferFrames = static_cast<int>(bufferSize);
    reportedInputLatency = bufferFrames;
    reportedOutputLatency = 2 * bufferFrames;
    bufferMillis = bufferMillisFor(bufferFrames, currentRate);

    bool allocationFailed = false;
    for (long i = 0; i < numChannels; ++i) {
        ASIOBufferInfo& info = bufferInfos[i];
        const long channel = info.channelNum;
        const bool input = info.isInput != ASIOFalse;
        const int channels = input ? inputChannelCount : outputChannelCount;
        int& active = input ? activeInputCount : activeOutputCount;
        if (channel < 0 || channel >= channels || active >= channels || active >= kMaxPorts) {
            disposeBuffers();
            return ASE_InvalidParameter;
        }
        (input ? inputChannelOf : outputChannelOf)[active] = static_cast<int>(channel);
        (input ? inputPortMask : outputPortMask)[channel / 2] |= 1 << (channel % 2);
        void* memory = allocateChannel(info, bufferFrames, sampleBits);
        (input ? inputBufferMemory : outputBufferMemory)[active] = memory;
        if (!memory)
            allocationFailed = true;
        ++active;
    }
    if (allocationFailed) {
        disposeBuffers();
        return ASE_NoMemory;
    }

    hostCallbacks = callbacks;
    useTimeInfo = callbacks->asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) != 0 ? 1 : 0;
    // A host that claims time info but gives no such switch gets the plain one.
    if (useTimeInfo && !callbacks->bufferSwitchTimeInfo)
        useTimeInfo = 0;
    if (useTimeInfo) {
        memset(&timeInfo, 0, sizeof timeInfo);
        timeInfo.timeInfo.speed = 1.0;
        timeInfo.timeInfo.sampleRate = currentRate;
        timeInfo.timeInfo.flags = kSystemTimeValid | kSamplePositionValid | kSampleRateValid;
        timeInfo.timeCode.speed = 1.0;
        timeInfo.timeCode.flags = kTcValid | kTcRunning;
    }
    startResetWatcher();
    if (hasStatusBlock()) {
        statusView->bufferSize = bufferFrames;
        statusView->activeOutputs = activeOutputCount;
        statusView->activeInputs = activeInputCount;
    }
    notifyPanel(ASIOWM_BUFCREATE);
    return ASE_OK;
}

void AsioSample::freeHostBuffers()
{
    for (int i = 0; i < kMaxPorts; ++i) {
        free(inputBufferMemory[i]);
        inputBufferMemory[i] = nullptr;
        inputChannelOf[i] = 0;
        free(outputBufferMemory[i]);
        outputBufferMemory[i] = nullptr;
        outputChannelOf[i] = 0;
        inputPortMask[i] = inputPortCopied[i] = 0;
        outputPortMask[i] = outputPortCopied[i] = 0;
    }
    activeInputCount = 0;
    activeOutputCount = 0;
}

ASIOError AsioSample::disposeBuffers()
{
    stopResetWatcher();
    stop();
    hostCallbacks = nullptr;
    freeHostBuffers();
    if (hasStatusBlock()) {
        statusView->bufferSize = 0;
        statusView->activeOutputs = 0;
        statusView->activeInputs = 0;
    }
    notifyPanel(ASIOWM_BUFDISPOSE);
    return ASE_OK;
}

void AsioSample::fillDeviceFormat()
{
    const WORD bits = sampleBits == 16 ? 16 : 24;
    memset(&deviceFormat, 0, sizeof deviceFormat);
    WAVEFORMATEX& format = deviceFormat.Format;
    format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(currentRate);
    format.wBitsPerSample = bits;
    format.nBlockAlign = static_cast<WORD>(bits / 8 * 2);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 22;
    deviceFormat.Samples.wValidBitsPerSample = bits;
    deviceFormat.dwChannelMask = SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
    deviceFormat.SubFormat = kSubtypePcm;
}

bool AsioSample::openOutputPorts()
{
    const DWORD blockBytes = static_cast<DWORD>(deviceFormat.Format.nBlockAlign) * bufferFrames;
    for (int p = 0; p < outputPortsFound && 2 * outputPortsOpen < activeOutputCount; ++p) {
        if (!outputPortMask[p] || !outputRings[p].view)
            continue;
        outputDoneProc[p] = outputDoneCallback;
        if (waveOutOpen(&waveOutHandle[p], static_cast<UINT>(outputDeviceId[p]), &deviceFormat.Format,
                        reinterpret_cast<DWORD_PTR>(outputDoneProc[p]), 0, CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
            waveOutHandle[p] = nullptr;
            return false;
        }
        ++outputPortsOpen;
        describeSlots(outputHeaders[p], outputRings[p].view, p, blockBytes);
        for (WAVEHDR& header : outputHeaders[p]) {
            if (waveOutPrepareHeader(waveOutHandle[p], &header, sizeof header) != MMSYSERR_NOERROR)
                return false;
        }
    }
    return true;
}

bool AsioSample::openInputPorts()
{
    const DWORD blockBytes = static_cast<DWORD>(deviceFormat.Format.nBlockAlign) * bufferFrames;
    for (int p = 0; p < inputPortsFound && 2 * inputPortsOpen < activeInputCount; ++p) {
        if (!inputPortMask[p] || !inputRings[p].view)
            continue;
        inputDataProc[p] = inputDataCallback;
        if (waveInOpen(&waveInHandle[p], static_cast<UINT>(inputDeviceId[p]), &deviceFormat.Format,
                       reinterpret_cast<DWORD_PTR>(inputDataProc[p]), 0, CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
            waveInHandle[p] = nullptr;
            return false;
        }
        ++inputPortsOpen;
        describeSlots(inputHeaders[p], inputRings[p].view, p, blockBytes);
        for (WAVEHDR& header : inputHeaders[p]) {
            if (waveInPrepareHeader(waveInHandle[p], &header, sizeof header) != MMSYSERR_NOERROR ||
                waveInAddBuffer(waveInHandle[p], &header, sizeof header) != MMSYSERR_NOERROR)
                return false;
        }
    }
    for (int p = 0; p < kMaxPorts; ++p) {
        if (waveInHandle[p] && waveInStart(waveInHandle[p]) != MMSYSERR_NOERROR)
            return false;
    }
    return true;
}

// Resets, unprepares and closes every open port, outputs first.
void AsioSample::closeWavePorts()
{
    for (int p = 0; p < kMaxPorts; ++p) {
        if (!waveOutHandle[p])
            continue;
        waveOutReset(waveOutHandle[p]);
        for (WAVEHDR& header : outputHeaders[p])
            waveOutUnprepareHeader(waveOutHandle[p], &header, sizeof header);
        waveOutClose(waveOutHandle[p]);
        waveOutHandle[p] = nullptr;
    }
    outputPortsOpen = 0;
    for (int p = 0; p < kMaxPorts; ++p) {
        if (!waveInHandle[p])
            continue;
        waveInStop(waveInHandle[p]);
        waveInReset(waveInHandle[p]);
        for (WAVEHDR& header : inputHeaders[p])
            waveInUnprepareHeader(waveInHandle[p], &header, sizeof header);
        waveInClose(waveInHandle[p]);
        waveInHandle[p] = nullptr;
    }
    inputPortsOpen = 0;
}

// Closes whatever start opened. The callbacks are muted first, so that the
// headers the resets hand back leave the rings alone, and the rings are
// cleared, so that the next start begins from empty rings.
void AsioSample::closePortsAfterFailedStart()
{
    callbacksMuted = 1;
    closeWavePorts();
    zeroRings();
}

void AsioSample::zeroRings()
{
    PortRingMapping* rings[] = {outputRings, inputRings};
    const int found[] = {outputPortsFound, inputPortsFound};
    for (int side = 0; side < 2; ++side) {
        for (int p = 0; p < found[side] && p < kMaxPorts; ++p) {
            PortRing* ring = rings[side][p].view;
            if (!ring)
                continue;
            memset(ring->slots, 0, sizeof ring->slots);
            ring->readIndex = 0;
            ring->writeIndex = 0;
            InterlockedExchange(&ring->count, 0);
        }
    }
}

ASIOError AsioSample::start()
{
    // Marks every attempt, also one that fails below.
    if (hasStatusBlock())
        statusView->streaming = 1;
    notifyPanel(ASIOWM_START);
    if (activeInputCount == 0 && activeOutputCount == 0)
        return ASE_NotPresent;
    if (isStarted)
        return ASE_OK;
    if (!hostCallbacks)
        return ASE_NotPresent;

    callbacksMuted = 0;
    fillDeviceFormat();
    if (!openOutputPorts() || !openInputPorts()) {
        closePortsAfterFailedStart();
        return ASE_NotPresent;
    }
    // The rings are silent here, so each output port starts 4 silent blocks ahead.
    for (int slot = 0; slot < kPrimingBlocks; ++slot) {
        for (int p = 0; p < kMaxPorts; ++p) {
            if (!waveOutHandle[p])
                continue;
            PortRing* ring = outputRings[p].view;
            waveOutWrite(waveOutHandle[p], &outputHeaders[p][slot], sizeof(WAVEHDR));
            InterlockedIncrement(&ring->count);
            ring->writeIndex = (ring->writeIndex + 1) % kRingSlots;
        }
    }
    positionFrames = 0;
    silencedBlocks = 0;
    lastSystemTime = ASIOTimeStamp{};
    halfIndex = 0;
    startStreamingThread(this);
    isStarted = 1;
    return ASE_OK;
}

ASIOError AsioSample::stop()
{
    callbacksMuted = 1;
    isStarted = 0;
    stopStreamingThread();
    closeWavePorts();
    zeroRings();
    if (hasStatusBlock())
        statusView->streaming = 0;
    notifyPanel(ASIOWM_STOP);
    return ASE_OK;
}

}  // namespace rk50
