// The wave API as the converter's kernel driver presents it through winmm.
//
// How it works: each open handle is a Stream with a queue of headers and a
// thread of its own. The thread completes the front header once its frames
// have "played" (or been "recorded") at the sample clock, N frames taking
// N / rate seconds counted from the end of the previous header while the queue
// stays full, and then calls the client back outside any lock. Reset and stop
// run in the caller's thread and hand back the headers they take themselves.
#define _WINMM_  // these are the definitions of the functions winmm would export

#include "SimMachine.h"

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

double secondsNow()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

struct Stream {
    Direction direction;
    DWORD callbackType;
    DWORD_PTR callback;
    DWORD_PTR instance;
    DWORD rate;
    DWORD blockAlign;

    std::mutex lock;
    std::deque<WAVEHDR*> queue;
    bool running;            // output: always; input: between start and stop
    double frontStarted = 0;  // when the front header began, 0 when not yet
    double lastCompleted = 0;
    std::atomic<bool> quit{false};
    HANDLE wake = nullptr;
    std::thread worker;

    UINT doneMessage() const { return direction == Direction::Out ? WOM_DONE : WIM_DATA; }
};

std::mutex streamsLock;
std::set<Stream*> streams;

Stream* findStream(HANDLE handle, Direction direction)
{
    std::lock_guard<std::mutex> guard(streamsLock);
    auto it = streams.find(static_cast<Stream*>(handle));
    if (it == streams.end() || (*it)->direction != direction)
        return nullptr;
    return *it;
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

// Marks a header handed back; input headers carry what was "recorded".
void finishHeader(Stream* stream, WAVEHDR* header, DWORD bytes)
{
    if (stream->direction == Direction::In) {
        // Silence: the recording source of this simulator.
        bytes = std::min(bytes, header->dwBufferLength);
        memset(header->lpData, 0, bytes);
        header->dwBytesRecorded = bytes;
    }
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
}

DWORD headerFrames(const Stream* stream, const WAVEHDR* header)
{
    return header->dwBufferLength / stream->blockAlign;
}

void runStream(Stream* stream)
{
    while (!stream->quit) {
        WAVEHDR* completed = nullptr;
        DWORD waitMs = INFINITE;
        {
            std::lock_guard<std::mutex> guard(stream->lock);
            if (stream->running && !stream->queue.empty()) {
                const double now = secondsNow();
                if (stream->frontStarted == 0)
                    stream->frontStarted = std::max(now, stream->lastCompleted);
                WAVEHDR* front = stream->queue.front();
                const double due = stream->frontStarted +
                                   static_cast<double>(headerFrames(stream, front)) / stream->rate;
                if (now >= due) {
                    stream->queue.pop_front();
                    finishHeader(stream, front, front->dwBufferLength);
                    stream->lastCompleted = due;
                    // Back to back while the queue stays full: the next
                    // header starts where this one ended, not when the
                    // thread got round to it, so the clock does not drift.
                    stream->frontStarted = stream->queue.empty() ? 0 : due;
                    completed = front;
                } else {
                    waitMs = static_cast<DWORD>((due - now) * 1000.0) + 1;
                }
            }
        }
        if (completed)
            notify(stream, stream->doneMessage(), reinterpret_cast<DWORD_PTR>(completed));
        else
            WaitForSingleObject(stream->wake, waitMs);
    }
}

// Takes every queued header out, the front one with what it recorded so far.
std::vector<WAVEHDR*> takeQueue(Stream* stream, bool stopRunning, bool onlyFront)
{
    std::vector<WAVEHDR*> taken;
    std::lock_guard<std::mutex> guard(stream->lock);
    const double now = secondsNow();
    bool front = true;
    while (!stream->queue.empty()) {
        WAVEHDR* header = stream->queue.front();
        DWORD bytes = 0;
        if (front && stream->frontStarted != 0 && stream->running) {
            const double frames = (now - stream->frontStarted) * stream->rate;
            bytes = std::min<DWORD>(header->dwBufferLength,
                                    static_cast<DWORD>(frames) * stream->blockAlign);
        }
        stream->queue.pop_front();
        finishHeader(stream, header, bytes);
        taken.push_back(header);
        front = false;
        if (onlyFront)
            break;
    }
    stream->frontStarted = 0;
    stream->lastCompleted = 0;
    if (stopRunning)
        stream->running = false;
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
    stream->callbackType = type;
    stream->callback = callback;
    stream->instance = instance;
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
    if (!findStream(handle, direction))
        return MMSYSERR_INVALHANDLE;
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
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->lpNext = nullptr;
    if (direction == Direction::In)
        header->dwBytesRecorded = 0;
    stream->queue.push_back(header);
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
    HANDLE handle = nullptr;
    MMRESULT status = open(Direction::In, result ? &handle : nullptr, id, format, callback, instance, flags);
    if (status == MMSYSERR_NOERROR && result && !(flags & WAVE_FORMAT_QUERY))
        *result = static_cast<HWAVEIN>(handle);
    return status;
}

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT result, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback,
                            DWORD_PTR instance, DWORD flags)
{
    HANDLE handle = nullptr;
    MMRESULT status = open(Direction::Out, result ? &handle : nullptr, id, format, callback, instance, flags);
    if (status == MMSYSERR_NOERROR && result && !(flags & WAVE_FORMAT_QUERY))
        *result = static_cast<HWAVEOUT>(handle);
    return status;
}

MMRESULT WINAPI waveInClose(HWAVEIN handle)
{
    return close(Direction::In, handle);
}

MMRESULT WINAPI waveOutClose(HWAVEOUT handle)
{
    return close(Direction::Out, handle);
}

MMRESULT WINAPI waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size)
{
    return prepare(Direction::In, handle, header, size);
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size)
{
    return prepare(Direction::Out, handle, header, size);
}

MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size)
{
    return unprepare(Direction::In, handle, header, size);
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size)
{
    return unprepare(Direction::Out, handle, header, size);
}

MMRESULT WINAPI waveInAddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size)
{
    return enqueue(Direction::In, handle, header, size);
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size)
{
    return enqueue(Direction::Out, handle, header, size);
}

MMRESULT WINAPI waveInStart(HWAVEIN handle)
{
    Stream* stream = findStream(handle, Direction::In);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(stream->lock);
    if (!stream->running) {
        stream->running = true;
        stream->frontStarted = 0;
        stream->lastCompleted = 0;
        SetEvent(stream->wake);
    }
    return MMSYSERR_NOERROR;
}

// Stopping hands back the buffer being filled; empty ones stay queued.
MMRESULT WINAPI waveInStop(HWAVEIN handle)
{
    Stream* stream = findStream(handle, Direction::In);
    if (!stream)
        return MMSYSERR_INVALHANDLE;
    bool wasRunning = false;
    bool started = false;
    {
        std::lock_guard<std::mutex> guard(stream->lock);
        wasRunning = stream->running;
        started = stream->frontStarted != 0;
    }
    if (!wasRunning)
        return MMSYSERR_NOERROR;
    if (!started) {
        std::lock_guard<std::mutex> guard(stream->lock);
        stream->running = false;
        return MMSYSERR_NOERROR;
    }
    return handBack(Direction::In, handle, true, true);
}

MMRESULT WINAPI waveInReset(HWAVEIN handle)
{
    return handBack(Direction::In, handle, true, false);
}

MMRESULT WINAPI waveOutReset(HWAVEOUT handle)
{
    return handBack(Direction::Out, handle, false, false);
}

}  // extern "C"
