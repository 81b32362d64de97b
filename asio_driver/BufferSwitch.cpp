// The real-time path between start and stop: the wave callbacks that account
// for played and recorded slots, the streaming thread that decides when a
// block is due, and one buffer switch with its sample conversion.
//
// No locks: a ring's count is changed only with interlocked operations by
// both sides, and each index has a single writer.
#include "AsioSample.h"

#include "SampleCopy.h"

#include <cstring>

namespace rk50 {

namespace {

HANDLE streamingThread = nullptr;
volatile BYTE streamingQuit = 0;
AsioSample* streamingOwner = nullptr;

constexpr int kOutputQueueHigh = 4;  // blocks queued per port before the engine waits
constexpr DWORD kStopWaitMs = 1000;

int portOf(const WAVEHDR* header)
{
    return static_cast<int>((header->dwUser >> 16) & 0xFFFF);
}

}  // namespace

void CALLBACK outputDoneCallback(HANDLE, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WOM_DONE || callbacksMuted)
        return;
    WAVEHDR* header = reinterpret_cast<WAVEHDR*>(param1);
    // Played slots go silent, so channels the host does not fill stay silent.
    memset(header->lpData, 0, header->dwBufferLength);
    const int port = portOf(header);
    if (port >= kMaxPorts || !outputRings[port].view)
        return;
    PortRing* ring = outputRings[port].view;
    if (ring->count != 0) {
        ring->readIndex = (ring->readIndex + 1) % kRingSlots;
        InterlockedDecrement(&ring->count);
    }
}

void CALLBACK inputDataCallback(HANDLE, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA || callbacksMuted)
        return;
    const WAVEHDR* header = reinterpret_cast<const WAVEHDR*>(param1);
    const int port = portOf(header);
    if (port >= kMaxPorts || !inputRings[port].view)
        return;
    PortRing* ring = inputRings[port].view;
    // Every returned header counts as one full block.
    if (ring->count < kRingSlots) {
        ring->writeIndex = (ring->writeIndex + 1) % kRingSlots;
        InterlockedIncrement(&ring->count);
    }
}

DWORD WINAPI streamingThreadMain(void* parameter)
{
    AsioSample* owner = static_cast<AsioSample*>(parameter);
    // Sleep(1) lasts a whole timer tick (up to 15.6 ms) unless the resolution
    // is raised, which small buffers cannot afford.
    timeBeginPeriod(1);
    while (!streamingQuit) {
        if (owner->blockIsDue()) {
            owner->processBlock();
            Sleep(1);
        } else {
            Sleep(owner->waitMillis());
        }
    }
    timeEndPeriod(1);
    return 0;
}

void startStreamingThread(AsioSample* owner)
{
    streamingOwner = owner;
    streamingQuit = 0;
    streamingThread = CreateThread(nullptr, 0, streamingThreadMain, owner, 0, nullptr);
    if (streamingThread)
        SetThreadPriority(streamingThread, THREAD_PRIORITY_TIME_CRITICAL);
}

void stopStreamingThread()
{
    streamingQuit = 1;
    if (!streamingThread)
        return;
    WaitForSingleObject(streamingThread, kStopWaitMs);
    CloseHandle(streamingThread);
    streamingThread = nullptr;
    streamingOwner = nullptr;
}

bool AsioSample::blockIsDue() const
{
    bool outputReady = true;
    bool inputReady = true;
    for (int p = 0; p < kMaxPorts; ++p) {
        if (waveOutHandle[p] && outputRings[p].view && outputRings[p].view->count >= kOutputQueueHigh)
            outputReady = false;
        if (waveInHandle[p] && inputRings[p].view && inputRings[p].view->count == 0)
            inputReady = false;
    }
    // With inputs open the device's recording clock paces the host.
    return inputPortsOpen > 0 ? inputReady : outputReady;
}

DWORD AsioSample::waitMillis() const
{
    const int half = bufferMillis / 2;
    return static_cast<DWORD>(half < 1 ? 1 : half);
}

void AsioSample::readSystemTime()
{
    const unsigned long long nanoseconds = static_cast<unsigned long long>(timeGetTime()) * 1000000ull;
    lastSystemTime.hi = static_cast<unsigned long>(nanoseconds >> 32);
    lastSystemTime.lo = static_cast<unsigned long>(nanoseconds & 0xFFFFFFFFull);
}

void AsioSample::processBlock()
{
    ASIOCallbacks* callbacks = hostCallbacks;
    if (!isStarted || !callbacks)
        return;
    readSystemTime();
    copyInputBlock();
    copyOutputBlock();
    positionFrames += bufferFrames;
    if (useTimeInfo)
        switchWithTimeInfo();
    else
        callbacks->bufferSwitch(halfIndex, ASIOFalse);
    halfIndex = 1 - halfIndex;
}

void AsioSample::copyInputBlock()
{
    if (inputPortsFound == 0 || !inputRings[0].view || inputRings[0].view->count == 0 || activeInputCount == 0)
        return;
    const int halfOffset = halfIndex * (sampleBits / 8) * bufferFrames;
    for (int i = 0; i < activeInputCount; ++i) {
        const int channel = inputChannelOf[i];
        BYTE* memory = static_cast<BYTE*>(inputBufferMemory[i]);
        const int port = channel / 2;
        PortRing* ring = inputRings[port].view;
        if (!memory || !ring)
            continue;
        const BYTE* source = ring->slots[ring->readIndex] + (channel % 2) * deviceSampleBytes(sampleBits);
        copyDeviceToHost(source, memory + halfOffset, bufferFrames, sampleBits);
        inputPortCopied[port] |= 1 << (channel % 2);
        if (inputPortCopied[port] == inputPortMask[port]) {
            inputPortCopied[port] = 0;
            WAVEHDR& header = inputHeaders[port][ring->readIndex];
            waveInAddBuffer(waveInHandle[port], &header, sizeof header);
            ring->readIndex = (ring->readIndex + 1) % kRingSlots;
            InterlockedDecrement(&ring->count);
        }
    }
}

void AsioSample::copyOutputBlock()
{
    // A full device queue drops the host's block rather than waiting.
    if (!outputRings[0].view || outputRings[0].view->count >= kRingSlots || activeOutputCount == 0)
        return;
    const int halfOffset = halfIndex * (sampleBits / 8) * bufferFrames;
    for (int i = 0; i < activeOutputCount; ++i) {
        const int channel = outputChannelOf[i];
        const BYTE* memory = static_cast<const BYTE*>(outputBufferMemory[i]);
        const int port = channel / 2;
        PortRing* ring = outputRings[port].view;
        if (!memory || !ring)
            continue;
        BYTE* slot = ring->slots[ring->writeIndex];
        copyHostToDevice(memory + halfOffset, slot + (channel % 2) * deviceSampleBytes(sampleBits),
                         bufferFrames, sampleBits);
        outputPortCopied[port] |= 1 << (channel % 2);
        if (outputPortCopied[port] == outputPortMask[port]) {
            outputPortCopied[port] = 0;
            WAVEHDR& header = outputHeaders[port][ring->writeIndex];
            // The first blocks after start play as silence.
            if (silencedBlocks < 2 * outputPortsFound) {
                memset(slot, 0, header.dwBufferLength);
                ++silencedBlocks;
            }
            waveOutWrite(waveOutHandle[port], &header, sizeof header);
            ring->writeIndex = (ring->writeIndex + 1) % kRingSlots;
            InterlockedIncrement(&ring->count);
        }
    }
}

void AsioSample::switchWithTimeInfo()
{
    AsioTimeInfo& info = timeInfo.timeInfo;
    getSamplePosition(&info.samplePosition, &info.systemTime);
    if (timeCodeEnabled) {
        // A time code running 600 seconds ahead of the sample position.
        const unsigned long long ahead =
            static_cast<unsigned long long>(static_cast<unsigned long>(info.samplePosition.lo)) +
            static_cast<unsigned long long>(currentRate * 600);
        timeInfo.timeCode.timeCodeSamples.hi = 0;
        timeInfo.timeCode.timeCodeSamples.lo = static_cast<unsigned long>(ahead & 0xFFFFFFFFull);
    }
    hostCallbacks->bufferSwitchTimeInfo(&timeInfo, halfIndex, ASIOFalse);
    info.flags &= ~static_cast<unsigned long>(kSampleRateChanged | kClockSourceChanged);
}

}  // namespace rk50
