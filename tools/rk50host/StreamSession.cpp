#include "StreamSession.h"

#include "AsioErrorNames.h"
#include "Signals.h"

#include "shared/StatusBlockMapping.h"

#include <windows.h>

#include <cstring>

namespace rk50host {

namespace {

// The callbacks are plain functions: one session streams at a time.
struct LiveState {
    IASIO* driver = nullptr;
    ASIOBufferInfo infos[4] = {};
    ASIOSampleType type = ASIOSTInt16LSB;
    long frames = 0;
    const StreamSettings* settings = nullptr;
    std::uint64_t clickInterval = 0;
    std::uint64_t clickOffset = 0;
    // Preallocated so that nothing is allocated on the streaming thread.
    std::vector<std::int32_t>* recorded = nullptr;
    std::size_t recordedFrames = 0;
    std::vector<LONGLONG> switchTimes;
    volatile LONG switches = 0;
    HANDLE switchThread = nullptr;  // the thread that calls the switches
};

LiveState live;

int sampleBytes(ASIOSampleType type)
{
    return type == ASIOSTInt16LSB ? 2 : type == ASIOSTInt24LSB ? 3 : 4;
}

void storeSample(std::uint8_t* at, int bytes, std::int32_t value)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    for (int b = 0; b < bytes; ++b)
        at[b] = static_cast<std::uint8_t>(bits >> (8 * (4 - bytes + b)));
}

std::int32_t loadSample(const std::uint8_t* at, int bytes)
{
    std::uint32_t bits = 0;
    for (int b = 0; b < bytes; ++b)
        bits |= static_cast<std::uint32_t>(at[b]) << (8 * (4 - bytes + b));
    return static_cast<std::int32_t>(bits);
}

std::int32_t outputSample(std::uint64_t frame, int channel)
{
    const StreamSettings& settings = *live.settings;
    switch (settings.signal) {
    case OutputSignal::Tone:
        return toneSample(settings.toneHz, settings.rate, frame);
    case OutputSignal::Clicks:
        return channel == 0 ? clickSample(frame, live.clickInterval, live.clickOffset) : 0;
    case OutputSignal::File: {
        const WavAudio& file = *settings.playFile;
        const std::size_t frames = file.frames();
        if (frame >= frames)
            return 0;
        const int source = file.channels == 1 ? 0 : channel;
        return file.samples[static_cast<std::size_t>(frame) * static_cast<std::size_t>(file.channels) +
                            static_cast<std::size_t>(source)];
    }
    case OutputSignal::Silence:
        break;
    }
    return 0;
}

void handleSwitch(long half)
{
    const LONG number = live.switches;  // switches before this one
    if (number == 0)
        live.switchThread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
    if (static_cast<std::size_t>(number) < live.switchTimes.size()) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        live.switchTimes[static_cast<std::size_t>(number)] = now.QuadPart;
    }
    const int bytes = sampleBytes(live.type);
    const std::uint64_t firstFrame = static_cast<std::uint64_t>(number) * static_cast<std::uint64_t>(live.frames);
    for (const ASIOBufferInfo& info : live.infos) {
        std::uint8_t* buffer = static_cast<std::uint8_t*>(info.buffers[half]);
        if (!buffer)
            continue;
        const int channel = static_cast<int>(info.channelNum);
        // Nothing to make or keep: leave the switch as cheap as a host can.
        if (!info.isInput && live.settings->signal == OutputSignal::Silence) {
            memset(buffer, 0, static_cast<size_t>(live.frames) * static_cast<size_t>(bytes));
            continue;
        }
        if (info.isInput && live.recordedFrames == 0)
            continue;
        for (long i = 0; i < live.frames; ++i) {
            if (info.isInput) {
                const std::size_t frame = static_cast<std::size_t>(firstFrame) + static_cast<std::size_t>(i);
                if (frame < live.recordedFrames)
                    (*live.recorded)[2 * frame + static_cast<std::size_t>(channel)] = loadSample(buffer + i * bytes, bytes);
            } else {
                storeSample(buffer + i * bytes, bytes, outputSample(firstFrame + static_cast<std::uint64_t>(i), channel));
            }
        }
    }
    InterlockedIncrement(&live.switches);
}

void __cdecl bufferSwitch(long half, ASIOBool)
{
    handleSwitch(half);
}

ASIOTime* __cdecl bufferSwitchTimeInfo(ASIOTime* time, long half, ASIOBool)
{
    handleSwitch(half);
    return time;
}

void __cdecl sampleRateDidChange(ASIOSampleRate) {}

long __cdecl asioMessage(long selector, long value, void*, double*)
{
    switch (selector) {
    case kAsioSelectorSupported:
        return value == kAsioSupportsTimeInfo || value == kAsioEngineVersion;
    case kAsioEngineVersion:
        return 2;
    case kAsioSupportsTimeInfo:
        return 1;
    default:
        return 0;
    }
}

// Sets the width the way the control panel does: in the status block, which
// the driver reads when the host asks for channel information.
void requestWidth(int bits)
{
    rk50::StatusBlockMapping block;
    if (!rk50::openStatusBlockMapping(block))
        return;
    if (rk50::isStatusBlockValid(block.view))
        block.view->cfgBitsPerSample = bits;
    rk50::closeStatusBlockMapping(block);
}

double threadCpuSeconds(HANDLE thread)
{
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user))
        return -1;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

}  // namespace

bool StreamSession::prepare(const StreamSettings& settings, StreamReport& report)
{
    char message[128] = "";
    if (!driver_->init(nullptr)) {
        driver_->getErrorMessage(message);
        fprintf(stderr, "rk50host: init failed: %s\n", message);
        return false;
    }
    ASIOError status = driver_->setSampleRate(settings.rate);
    if (status != ASE_OK) {
        fprintf(stderr, "rk50host: setSampleRate(%g): %s\n", settings.rate, asioErrorName(status));
        return false;
    }
    if (settings.bits)
        requestWidth(settings.bits);
    long inputs = 0, outputs = 0;
    driver_->getChannels(&inputs, &outputs);
    if (inputs < 2 || outputs < 2) {
        fprintf(stderr, "rk50host: the driver offers %ld inputs and %ld outputs, not 2 and 2\n", inputs, outputs);
        return false;
    }
    ASIOChannelInfo channel = {};
    channel.channel = 0;
    channel.isInput = ASIOFalse;
    driver_->getChannelInfo(&channel);
    live.type = channel.type;
    report.bits = channel.type == ASIOSTInt16LSB ? 16 : channel.type == ASIOSTInt24LSB ? 24 : 32;
    if (settings.bits && report.bits != settings.bits)
        fprintf(stderr, "rk50host: asked for %d bits, the driver streams %d\n", settings.bits, report.bits);
    long minimum = 0, maximum = 0, preferred = 0, granularity = 0;
    driver_->getBufferSize(&minimum, &maximum, &preferred, &granularity);
    report.bufferFrames = settings.bufferFrames ? settings.bufferFrames : preferred;
    report.rate = settings.rate;
    return true;
}

bool StreamSession::run(const StreamSettings& settings, StreamReport& report)
{
    if (!prepare(settings, report))
        return false;
    live = LiveState();
    live.driver = driver_;
    live.settings = &settings;
    live.frames = report.bufferFrames;
    live.type = report.bits == 16 ? ASIOSTInt16LSB : report.bits == 24 ? ASIOSTInt24LSB : ASIOSTInt32LSB;
    // Clicks half a second apart, wider than any round trip of the driver.
    report.clickInterval = static_cast<std::uint64_t>(settings.rate / 2);
    report.clickOffset = static_cast<std::uint64_t>(settings.rate / 10);
    live.clickInterval = report.clickInterval;
    live.clickOffset = report.clickOffset;
    const double period = static_cast<double>(report.bufferFrames) / settings.rate;
    const std::size_t expectedSwitches = static_cast<std::size_t>(settings.seconds / period) + 64;
    live.switchTimes.assign(expectedSwitches * 2, 0);
    report.recorded.assign(settings.record ? expectedSwitches * static_cast<std::size_t>(report.bufferFrames) * 2 : 0, 0);
    live.recorded = &report.recorded;
    live.recordedFrames = report.recorded.size() / 2;

    for (int i = 0; i < 4; ++i) {
        live.infos[i].isInput = i < 2 ? ASIOTrue : ASIOFalse;
        live.infos[i].channelNum = i % 2;
    }
    ASIOCallbacks callbacks = {bufferSwitch, sampleRateDidChange, asioMessage, bufferSwitchTimeInfo};
    ASIOError status = driver_->createBuffers(live.infos, 4, report.bufferFrames, &callbacks);
    if (status != ASE_OK) {
        fprintf(stderr, "rk50host: createBuffers(%ld frames): %s\n", report.bufferFrames, asioErrorName(status));
        return false;
    }
    driver_->getLatencies(&report.inputLatency, &report.outputLatency);

    LARGE_INTEGER frequency, started, stopped;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    status = driver_->start();
    if (status != ASE_OK) {
        fprintf(stderr, "rk50host: start: %s\n", asioErrorName(status));
        driver_->disposeBuffers();
        return false;
    }
    Sleep(static_cast<DWORD>(settings.seconds * 1000));
    QueryPerformanceCounter(&stopped);
    // Read while the thread still runs: its times go with it.
    report.threadCpuSeconds = threadCpuSeconds(live.switchThread);
    driver_->stop();
    driver_->disposeBuffers();

    report.switches = live.switches;
    report.seconds = static_cast<double>(stopped.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart);
    const std::size_t timed = static_cast<std::size_t>(report.switches) < live.switchTimes.size()
                                  ? static_cast<std::size_t>(report.switches)
                                  : live.switchTimes.size();
    if (timed > 0) {
        // Switch n is due one period after switch n - 1, on the device's clock
        // as the first switch shows it; half a period of slack for the pacing.
        const double ticksPerPeriod = period * static_cast<double>(frequency.QuadPart);
        const double first = static_cast<double>(live.switchTimes[0]);
        for (std::size_t n = 0; n < timed; ++n) {
            const double due = first + static_cast<double>(n) * ticksPerPeriod;
            if (static_cast<double>(live.switchTimes[n]) - due > ticksPerPeriod)
                ++report.lateSwitches;
        }
        report.switchesDue =
            static_cast<long>((static_cast<double>(stopped.QuadPart) - first) / ticksPerPeriod + 0.5);
        if (report.switchesDue > report.switches)
            report.lostBlocks = report.switchesDue - report.switches;
    }
    if (live.switchThread)
        CloseHandle(live.switchThread);
    const std::size_t keep = static_cast<std::size_t>(report.switches) * static_cast<std::size_t>(report.bufferFrames) * 2;
    if (report.recorded.size() > keep)
        report.recorded.resize(keep);
    live = LiveState();
    return true;
}

void printStreamReport(const StreamReport& report, FILE* out)
{
    fprintf(out, "rate %.0f Hz, buffer %ld frames, %d bits\n", report.rate, report.bufferFrames, report.bits);
    fprintf(out, "reported latency: input %ld, output %ld frames\n", report.inputLatency, report.outputLatency);
    fprintf(out, "buffer switches: %ld received, %ld due in %.2f s; %ld late, %ld lost\n", report.switches,
            report.switchesDue, report.seconds, report.lateSwitches, report.lostBlocks);
    if (report.threadCpuSeconds >= 0 && report.seconds > 0)
        fprintf(out, "streaming thread: %.3f s of CPU, %.2f %% of a core\n", report.threadCpuSeconds,
                100.0 * report.threadCpuSeconds / report.seconds);
}

}  // namespace rk50host
