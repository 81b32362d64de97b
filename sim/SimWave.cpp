// The wave API as the converter's kernel driver presents it through winmm.
//
// How it works: each open handle is a Stream with a queue of headers and a
// thread of its own. The thread completes the front header once its frames
// have "played" (or been "recorded") at the sample clock, N frames taking
// N / rate seconds counted from the end of the previous header while the queue
// stays full, and then calls the client back outside any lock. Reset and stop
// run in the caller's thread and hand back the headers they take themselves.
#define _WINMM_  // these are the definitions of the functions winmm would export

#include "SimCapture.h"
#include "SimControlBlock.h"
#include "SimLoopback.h"
#include "SimMachine.h"
#include "SimSignal.h"
#include "rk50sim.h"

#include <windows.h>
#include <mmddk.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using rk50sim::Direction;

namespace {

// {00000001-0000-0010-8000-00AA00389B71}
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

const DWORD kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000};

bool isDeviceFormat(const WAVEFORMATEX* format)
{
    if (format->wFormatTag != WAVE_FORMAT_EXTENSIBLE || format->cbSize < 22)
        return false;
    const auto* extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format);
    const WORD container = format->wBitsPerSample;
    const WORD valid = extensible->Samples.wValidBitsPerSample;
    return format->nChannels == 2 && extensible->dwChannelMask == (SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT) &&
           IsEqualGUID(extensible->SubFormat, kSubtypePcm) && (container == 16 || container == 24) &&
           (valid == 16 || valid == 24) && valid <= container &&
           std::find(std::begin(kRates), std::end(kRates), format->nSamplesPerSec) != std::end(kRates) &&
           format->nBlockAlign == 2 * container / 8 &&
           format->nAvgBytesPerSec == format->nSamplesPerSec * format->nBlockAlign;
}

// The converter's sample clock: frames since the performance counter's zero.
// Integer arithmetic keeps frame numbers of streams at one rate comparable.
LONGLONG clockNow(DWORD rate)
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency * rate + now.QuadPart % frequency * rate / frequency;
}

rk50sim::PcmFormat pcmFormat(const WAVEFORMATEX* format)
{
    rk50sim::PcmFormat pcm;
    pcm.rate = format->nSamplesPerSec;
    pcm.containerBits = format->wBitsPerSample;
    pcm.validBits = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(format)->Samples.wValidBitsPerSample;
    return pcm;
}

struct Queued {
    WAVEHDR* header;
    LONGLONG start;  // clock frame of its first frame; -1 while input is stopped
};

struct Stream {
    Direction direction;
    UINT deviceId;
    bool converter;     // the device's interface path names the converter
    LONG generation;    // the control block's at open
    DWORD callbackType;
    DWORD_PTR callback;
    DWORD_PTR instance;
    rk50sim::PcmFormat format;
    DWORD rate;
    DWORD blockAlign;

    std::mutex lock;
    std::deque<Queued> queue;
    bool running;             // output: always; input: between start and stop
    bool dead = false;        // the converter was unplugged under this handle
    LONGLONG lastEnd = -1;    // clock frame where the last completed header ended
    // Output: the clock frame of stream frame 0, counting frames back to back;
    // input: the clock frame of the first waveInStart (the counting pattern's zero).
    LONGLONG origin = -1;
    LONGLONG framesQueued = 0;  // output: every frame ever queued
    LONGLONG gapStart = -1;     // input: recording with nothing queued since then
    LONGLONG droppedFrames = 0;  // input: not yet counted as whole blocks
    DWORD lastHeaderFrames = 0;
    rk50sim::CaptureFile capture;
    std::atomic<bool> quit{false};
    HANDLE wake = nullptr;
    std::thread worker;

    UINT doneMessage() const { return direction == Direction::Out ? WOM_DONE : WIM_DATA; }
};

std::mutex streamsLock;
std::set<Stream*> streams;

// What the converter's output has played, for its input to read back.
std::mutex loopLock;
rk50sim::LoopbackLine loopback;

Stream* findStream(HANDLE handle, Direction direction)
{
    std::lock_guard<std::mutex> guard(streamsLock);
    auto it = streams.find(static_cast<Stream*>(handle));
    if (it == streams.end() || (*it)->direction != direction)
        return nullptr;
    return *it;
}

// A converter handle dies with an unplug and stays dead after the replug, as
// handles of a removed device do on Windows. Called with the stream locked.
bool alive(Stream* stream)
{
    if (!stream->converter || stream->dead)
        return !stream->dead;
    rk50sim::ControlBlock& control = rk50sim::controlBlock();
    if (!rk50sim::converterPlugged() || rk50sim::readField(control.generation) != stream->generation)
        stream->dead = true;
    return !stream->dead;
}

void notify(Stream* stream, UINT message, DWORD_PTR param)
{
    HANDLE handle = stream;
    switch (stream->callbackType & CALLBACK_TYPEMASK) {
    case CALLBACK_FUNCTION:
        if (stream->callback)
            reinterpret_cast<LPDRVCALLBACK>(stream->callback)(static_cast<HDRVR>(handle), message,
                                                             stream->instance, param, 0);
        break;
    case CALLBACK_EVENT:
        SetEvent(reinterpret_cast<HANDLE>(stream->callback));
        break;
    case CALLBACK_WINDOW:
        PostMessageA(reinterpret_cast<HWND>(stream->callback), message,
                     reinterpret_cast<WPARAM>(handle), static_cast<LPARAM>(param));
        break;
    case CALLBACK_THREAD:
        PostThreadMessageA(static_cast<DWORD>(stream->callback), message,
                           reinterpret_cast<WPARAM>(handle), static_cast<LPARAM>(param));
        break;
    }
}

DWORD headerFrames(const Stream* stream, const WAVEHDR* header)
{
    return header->dwBufferLength / stream->blockAlign;
}

// The control block's choice, else the machine file's.
rk50sim::Source recordSource(long& delayFrames)
{
    const rk50sim::Behaviour behaviour = rk50sim::machineBehaviour();
    rk50sim::ControlBlock& control = rk50sim::controlBlock();
    const LONG delay = rk50sim::readField(control.loopbackDelayFrames);
    delayFrames = delay > 0 ? delay : behaviour.loopbackDelayFrames;
    switch (rk50sim::readField(control.recordSource)) {
    case rk50sim::kSourceSilence: return rk50sim::Source::Silence;
    case rk50sim::kSourceTone: return rk50sim::Source::Tone;
    case rk50sim::kSourceCounting: return rk50sim::Source::Counting;
    case rk50sim::kSourceLoopback: return rk50sim::Source::Loopback;
    }
    return behaviour.source;
}

std::string capturePath()
{
    rk50sim::ControlBlock& control = rk50sim::controlBlock();
    char path[sizeof control.captureWavPath + 1] = "";
    memcpy(path, control.captureWavPath, sizeof control.captureWavPath);
    return path[0] ? std::string(path) : rk50sim::machineBehaviour().capturePath;
}

// Fills what an input header recorded: frames from clock frame start on.
void record(Stream* stream, WAVEHDR* header, LONGLONG start, DWORD frames)
{
    BYTE* data = reinterpret_cast<BYTE*>(header->lpData);
    const DWORD bytes = frames * stream->blockAlign;
    long delay = 0;
    const rk50sim::Source source = stream->converter ? recordSource(delay) : rk50sim::Source::Silence;
    const uint64_t frame = static_cast<uint64_t>(start - stream->origin);
    switch (source) {
    case rk50sim::Source::Silence:
        memset(data, 0, bytes);
        break;
    case rk50sim::Source::Tone:
        rk50sim::fillTone(data, stream->format, frame, frames);
        break;
    case rk50sim::Source::Counting:
        rk50sim::fillCounting(data, stream->format, frame, frames);
        break;
    case rk50sim::Source::Loopback: {
        std::lock_guard<std::mutex> guard(loopLock);
        loopback.read(stream->format, start - delay, data, frames);
        break;
    }
    }
    header->dwBytesRecorded = bytes;
}

// Keeps what an output header played: its first frames from clock frame start on.
void played(Stream* stream, WAVEHDR* header, LONGLONG start, DWORD frames)
{
    if (!stream->converter || frames == 0)
        return;
    stream->capture.append(capturePath(), stream->format, stream->deviceId, start,
                           reinterpret_cast<const BYTE*>(header->lpData), frames * stream->blockAlign);
}

// Marks a header handed back after frames of it passed (a partial one by
// stop or reset); only a live stream records or plays anything.
void finishHeader(Stream* stream, const Queued& queued, DWORD frames, bool live)
{
    WAVEHDR* header = queued.header;
    frames = std::min(frames, headerFrames(stream, header));
    if (!live || queued.start < 0)
        frames = 0;
    if (stream->direction == Direction::In) {
        header->dwBytesRecorded = 0;
        if (frames)
            record(stream, header, queued.start, frames);
    } else {
        played(stream, header, queued.start, frames);
    }
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}

// Input frames that passed with nothing queued, counted in blocks of the
// header that ends the gap (the remainder is carried).
void endGap(Stream* stream, LONGLONG now, DWORD blockFrames)
{
    if (stream->gapStart < 0)
        return;
    if (now > stream->gapStart)
        stream->droppedFrames += now - stream->gapStart;
    stream->gapStart = -1;
    if (blockFrames == 0 || !stream->converter)
        return;
    const LONG blocks = static_cast<LONG>(stream->droppedFrames / blockFrames);
    stream->droppedFrames %= blockFrames;
    if (blocks)
        InterlockedExchangeAdd(&rk50sim::controlBlock().blocksDropped, blocks);
}

// Completes the front header when its frames have passed; the wait otherwise.
WAVEHDR* completeDue(Stream* stream, DWORD& waitMs)
{
    waitMs = INFINITE;
    if (!stream->running || stream->queue.empty() || !alive(stream))
        return nullptr;
    const LONGLONG now = clockNow(stream->rate);
    Queued& front = stream->queue.front();
    if (front.start < 0)
        front.start = std::max(now, stream->lastEnd);
    const DWORD frames = headerFrames(stream, front.header);
    const LONGLONG due = front.start + frames;
    if (now < due) {
        waitMs = static_cast<DWORD>((due - now) * 1000 / stream->rate) + 1;
        return nullptr;
    }
    const Queued done = front;
    stream->queue.pop_front();
    finishHeader(stream, done, frames, true);
    stream->lastEnd = due;
    stream->lastHeaderFrames = frames;
    if (stream->direction == Direction::In) {
        // Recording goes on back to back into the next header, or into nothing.
        if (!stream->queue.empty() && stream->queue.front().start < 0)
            stream->queue.front().start = due;
        if (stream->queue.empty())
            stream->gapStart = due;
    }
    if (stream->converter)
        InterlockedIncrement(stream->direction == Direction::Out ? &rk50sim::controlBlock().blocksPlayed
                                                                 : &rk50sim::controlBlock().blocksRecorded);
    return done.header;
}

void runStream(Stream* stream)
{
    while (!stream->quit) {
        WAVEHDR* completed = nullptr;
        DWORD waitMs = INFINITE;
        {
            std::lock_guard<std::mutex> guard(stream->lock);
            completed = completeDue(stream, waitMs);
        }
        if (completed)
            notify(stream, stream->doneMessage(), reinterpret_cast<DWORD_PTR>(completed));
        else
            WaitForSingleObject(stream->wake, waitMs);
    }
}

// Takes queued headers out (every one, or the front one only), the front one
// with what passed of it so far.
std::vector<WAVEHDR*> takeQueue(Stream* stream, bool stopRunning, bool onlyFront)
{
    std::vector<WAVEHDR*> taken;
    std::lock_guard<std::mutex> guard(stream->lock);
    const LONGLONG now = clockNow(stream->rate);
    const bool live = alive(stream) && stream->running;
    if (stream->direction == Direction::Out && stream->converter && !stream->queue.empty()) {
        // What was queued to play after now never plays.
        const Queued& last = stream->queue.back();
        std::lock_guard<std::mutex> loopGuard(loopLock);
        loopback.erase(now, last.start + headerFrames(stream, last.header));
    }
    bool front = true;
    while (!stream->queue.empty()) {
        const Queued queued = stream->queue.front();
        DWORD frames = 0;
        if (front && live && queued.start >= 0 && now > queued.start)
            frames = static_cast<DWORD>(std::min<LONGLONG>(now - queued.start, headerFrames(stream, queued.header)));
        if (onlyFront && frames == 0)
            break;  // stop leaves a buffer that holds nothing yet in the queue
        stream->queue.pop_front();
        finishHeader(stream, queued, frames, live);
        taken.push_back(queued.header);
        front = false;
        if (onlyFront)
            break;
    }
    for (Queued& rest : stream->queue)
        rest.start = -1;
    if (stream->direction == Direction::In && stream->running)
        endGap(stream, now, stream->lastHeaderFrames);
    stream->lastEnd = -1;
    if (stopRunning) {
        stream->running = false;
        stream->gapStart = -1;
    }
    SetEvent(stream->wake);
    return taken;
}

MMRESULT getCaps(Direction direction, UINT_PTR id, void* caps, UINT size)
{
    if (!caps)
        return MMSYSERR_INVALPARAM;
    rk50sim::WaveDevice device;
    if (!rk50sim::findDevice(direction, static_cast<UINT>(id), device))
        return MMSYSERR_BADDEVICEID;
    // Both caps records start alike; only the output one has dwSupport.
    WAVEOUTCAPSA full = {};
    full.wMid = MM_UNMAPPED;
    full.wPid = MM_PID_UNMAPPED;
    full.vDriverVersion = 0x0100;
    lstrcpynA(full.szPname, device.productName.c_str(), MAXPNAMELEN);
    full.dwFormats = WAVE_FORMAT_1S16 | WAVE_FORMAT_2S16 | WAVE_FORMAT_4S16 | WAVE_FORMAT_48S16 |
                     WAVE_FORMAT_96S16;
    full.wChannels = 2;
    full.dwSupport = WAVECAPS_SAMPLEACCURATE;
    const UINT recordSize = direction == Direction::Out ? sizeof(WAVEOUTCAPSA) : sizeof(WAVEINCAPSA);
    memcpy(caps, &full, std::min(size, recordSize));
    return MMSYSERR_NOERROR;
}

MMRESULT message(Direction direction, HANDLE handle, UINT msg, DWORD_PTR p1, DWORD_PTR p2)
{
    // The driver passes a device id in the handle's place.
    const UINT_PTR id = reinterpret_cast<UINT_PTR>(handle);
    rk50sim::WaveDevice device;
    if (!rk50sim::findDevice(direction, static_cast<UINT>(id), device) || id > 0xFFFF)
        return MMSYSERR_BADDEVICEID;
    std::vector<WCHAR> path;
    if (device.hasPath) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, device.interfacePath.c_str(), -1, nullptr, 0);
        path.resize(static_cast<size_t>(std::max(length, 1)));
        MultiByteToWideChar(CP_UTF8, 0, device.interfacePath.c_str(), -1, path.data(), length);
    }
    const ULONG bytes = static_cast<ULONG>(path.size() * sizeof(WCHAR));
    switch (msg) {
    case DRV_QUERYDEVICEINTERFACESIZE:
        if (!p1)
            return MMSYSERR_INVALPARAM;
        *reinterpret_cast<ULONG*>(p1) = bytes;
        return MMSYSERR_NOERROR;
    case DRV_QUERYDEVICEINTERFACE:
        if (!p1 || p2 < bytes || bytes == 0)
            return MMSYSERR_INVALPARAM;
        memcpy(reinterpret_cast<void*>(p1), path.data(), bytes);
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_NOTSUPPORTED;
}

MMRESULT open(Direction direction, HANDLE* result, UINT id, const WAVEFORMATEX* format,
              DWORD_PTR callback, DWORD_PTR instance, DWORD flags)
{
    rk50sim::WaveDevice device;
    if (!rk50sim::findDevice(direction, id, device))
        return MMSYSERR_BADDEVICEID;
    if (!format)
        return MMSYSERR_INVALPARAM;
    if (!isDeviceFormat(format))
        return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY)
        return MMSYSERR_NOERROR;
    if (!result)
        return MMSYSERR_INVALPARAM;
    const DWORD type = flags & CALLBACK_TYPEMASK;
    if (type != CALLBACK_NULL && type != CALLBACK_FUNCTION && type != CALLBACK_EVENT &&
        type != CALLBACK_WINDOW && type != CALLBACK_THREAD)
        return MMSYSERR_INVALFLAG;

    Stream* stream = new Stream;
    stream->direction = direction;
    stream->deviceId = id;
    stream->converter = device.hasPath && rk50sim::isConverterPath(device.interfacePath);
    stream->generation = rk50sim::readField(rk50sim::controlBlock().generation);
    stream->callbackType = type;
    stream->callback = callback;
    stream->instance = instance;
    stream->format = pcmFormat(format);
    stream->rate = format->nSamplesPerSec;
    stream->blockAlign = format->nBlockAlign;
    stream->running = direction == Direction::Out;
    stream->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!stream->wake) {
        delete stream;
        return MMSYSERR_NOMEM;
    }
    stream->worker = std::thread(runStream, stream);
    {
        std::lock_guard<std::mutex> guard(streamsLock);
        streams.insert(stream);
    }
    *result = stream;
    notify(stream, direction == Direction::Out ? WOM_OPEN : WIM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT close(Direction direction, HANDLE handle)
{
    Stream* stream = findStream(handle, direction);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> guard(stream->lock);
        if (!stream->queue.empty())
            return WAVERR_STILLPLAYING;
    }
    {
        std::lock_guard<std::mutex> guard(streamsLock);
        streams.erase(stream);
    }
    stream->quit = true;
    SetEvent(stream->wake);
    stream->worker.join();
    notify(stream, direction == Direction::Out ? WOM_CLOSE : WIM_CLOSE, 0);
    CloseHandle(stream->wake);
    delete stream;
    return MMSYSERR_NOERROR;
}

MMRESULT prepare(Direction direction, HANDLE handle, WAVEHDR* header, UINT size)
{
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    Stream* stream = findStream(handle, direction);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> guard(stream->lock);
        if (!alive(stream))
            return MMSYSERR_NODRIVER;
    }
    if (header->dwFlags & WHDR_PREPARED)
        return MMSYSERR_NOERROR;
    header->dwFlags = (header->dwFlags | WHDR_PREPARED) & ~(WHDR_DONE | WHDR_INQUEUE);
    return MMSYSERR_NOERROR;
}

MMRESULT unprepare(Direction direction, HANDLE handle, WAVEHDR* header, UINT size)
{
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    if (!findStream(handle, direction))
        return MMSYSERR_INVALHANDLE;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

// Where a header queued now begins: output plays its queue back to back from
// the first write; input records back to back while started.
LONGLONG queuedStart(Stream* stream, LONGLONG now, DWORD frames)
{
    if (!stream->queue.empty()) {
        const Queued& last = stream->queue.back();
        return last.start < 0 ? -1 : last.start + headerFrames(stream, last.header);
    }
    if (stream->direction == Direction::In) {
        if (!stream->running)
            return -1;
        endGap(stream, now, frames);
        return now;
    }
    return std::max(now, stream->lastEnd);
}

MMRESULT enqueue(Direction direction, HANDLE handle, WAVEHDR* header, UINT size)
{
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    Stream* stream = findStream(handle, direction);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    std::lock_guard<std::mutex> guard(stream->lock);
    if (!alive(stream))
        return MMSYSERR_NODRIVER;
    const DWORD frames = headerFrames(stream, header);
    const LONGLONG start = queuedStart(stream, clockNow(stream->rate), frames);
    if (direction == Direction::Out) {
        stream->origin = start - stream->framesQueued;
        stream->framesQueued += frames;
        if (stream->converter) {
            // Its frames are known now and will play at a known clock frame.
            std::lock_guard<std::mutex> loopGuard(loopLock);
            loopback.write(stream->format, start, reinterpret_cast<const uint8_t*>(header->lpData), frames);
        }
    }
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->lpNext = nullptr;
    if (direction == Direction::In)
        header->dwBytesRecorded = 0;
    // Behind a queued header the stream thread already waits for the front
    // one; only an empty queue leaves it waiting for nothing.
    const bool wasEmpty = stream->queue.empty();
    stream->queue.push_back({header, start});
    if (wasEmpty)
        SetEvent(stream->wake);
    return MMSYSERR_NOERROR;
}

MMRESULT handBack(Direction direction, HANDLE handle, bool stopRunning, bool onlyFront)
{
    Stream* stream = findStream(handle, direction);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    for (WAVEHDR* header : takeQueue(stream, stopRunning, onlyFront))
        notify(stream, stream->doneMessage(), reinterpret_cast<DWORD_PTR>(header));
    return MMSYSERR_NOERROR;
}

MMRESULT startInput(HANDLE handle)
{
    Stream* stream = findStream(handle, Direction::In);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(stream->lock);
    if (!alive(stream))
        return MMSYSERR_NODRIVER;
    if (stream->running)
        return MMSYSERR_NOERROR;
    const LONGLONG now = clockNow(stream->rate);
    stream->running = true;
    stream->lastEnd = -1;
    if (stream->origin < 0)
        stream->origin = now;
    LONGLONG start = now;
    for (Queued& queued : stream->queue) {
        queued.start = start;
        start += headerFrames(stream, queued.header);
    }
    if (stream->queue.empty())
        stream->gapStart = now;
    SetEvent(stream->wake);
    return MMSYSERR_NOERROR;
}

// Every call that takes or opens a handle is counted for fault injection; a
// call that fails that way does nothing.
template <typename Call>
MMRESULT counted(Call call)
{
    MMRESULT fault = MMSYSERR_NOERROR;
    if (rk50sim::injectedFault(fault))
        return fault;
    return call();
}

}  // namespace

extern "C" {

UINT WINAPI waveInGetNumDevs()
{
    rk50sim::reloadMachine();
    return rk50sim::deviceCount(Direction::In);
}

UINT WINAPI waveOutGetNumDevs()
{
    rk50sim::reloadMachine();
    return rk50sim::deviceCount(Direction::Out);
}

MMRESULT WINAPI waveInMessage(HWAVEIN handle, UINT msg, DWORD_PTR p1, DWORD_PTR p2)
{
    return message(Direction::In, handle, msg, p1, p2);
}

MMRESULT WINAPI waveOutMessage(HWAVEOUT handle, UINT msg, DWORD_PTR p1, DWORD_PTR p2)
{
    return message(Direction::Out, handle, msg, p1, p2);
}

MMRESULT WINAPI waveInGetDevCapsA(UINT_PTR id, LPWAVEINCAPSA caps, UINT size)
{
    return getCaps(Direction::In, id, caps, size);
}

MMRESULT WINAPI waveOutGetDevCapsA(UINT_PTR id, LPWAVEOUTCAPSA caps, UINT size)
{
    return getCaps(Direction::Out, id, caps, size);
}

MMRESULT WINAPI waveInOpen(LPHWAVEIN result, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags)
{
    return counted([&] {
        HANDLE handle = nullptr;
        MMRESULT status = open(Direction::In, result ? &handle : nullptr, id, format, callback, instance, flags);
        if (status == MMSYSERR_NOERROR && result && !(flags & WAVE_FORMAT_QUERY))
            *result = static_cast<HWAVEIN>(handle);
        return status;
    });
}

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT result, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback,
                            DWORD_PTR instance, DWORD flags)
{
    return counted([&] {
        HANDLE handle = nullptr;
        MMRESULT status = open(Direction::Out, result ? &handle : nullptr, id, format, callback, instance, flags);
        if (status == MMSYSERR_NOERROR && result && !(flags & WAVE_FORMAT_QUERY))
            *result = static_cast<HWAVEOUT>(handle);
        return status;
    });
}

MMRESULT WINAPI waveInClose(HWAVEIN handle)
{
    return counted([&] { return close(Direction::In, handle); });
}

MMRESULT WINAPI waveOutClose(HWAVEOUT handle)
{
    return counted([&] { return close(Direction::Out, handle); });
}

MMRESULT WINAPI waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size)
{
    return counted([&] { return prepare(Direction::In, handle, header, size); });
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size)
{
    return counted([&] { return prepare(Direction::Out, handle, header, size); });
}

MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size)
{
    return counted([&] { return unprepare(Direction::In, handle, header, size); });
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size)
{
    return counted([&] { return unprepare(Direction::Out, handle, header, size); });
}

MMRESULT WINAPI waveInAddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size)
{
    return counted([&] { return enqueue(Direction::In, handle, header, size); });
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size)
{
    return counted([&] { return enqueue(Direction::Out, handle, header, size); });
}

MMRESULT WINAPI waveInStart(HWAVEIN handle)
{
    return counted([&] { return startInput(handle); });
}

// Stopping hands back the buffer being filled; empty ones stay queued.
MMRESULT WINAPI waveInStop(HWAVEIN handle)
{
    return counted([&] { return handBack(Direction::In, handle, true, true); });
}

MMRESULT WINAPI waveInReset(HWAVEIN handle)
{
    return counted([&] { return handBack(Direction::In, handle, true, false); });
}

MMRESULT WINAPI waveOutReset(HWAVEOUT handle)
{
    return counted([&] { return handBack(Direction::Out, handle, false, false); });
}

MMRESULT WINAPI rk50simStreamClock(HANDLE wave, LONGLONG* clockFrame)
{
    if (!clockFrame)
        return MMSYSERR_INVALPARAM;
    Stream* stream = findStream(wave, Direction::Out);
    if (!stream)
        stream = findStream(wave, Direction::In);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(stream->lock);
    if (stream->origin < 0)
        return WAVERR_UNPREPARED;
    *clockFrame = stream->origin;
    return MMSYSERR_NOERROR;
}

}  // extern "C"
