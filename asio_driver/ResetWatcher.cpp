// The reset-request watcher: while buffers exist, another program may ask
// through the status block that the host reset the driver; the watcher looks
// once a second and passes the request on as kAsioResetRequest.
#include "AsioSample.h"

namespace rk50 {

namespace {

constexpr DWORD kWatchIntervalMs = 1000;
constexpr DWORD kExitPollMs = 2;

}  // namespace

DWORD WINAPI AsioSample::watcherMain(void* self)
{
    static_cast<AsioSample*>(self)->watchForResetRequests();
    return 0;
}

void AsioSample::watchForResetRequests()
{
    while (!InterlockedCompareExchange(&watcherQuit, 0, 0)) {
        if (hasStatusBlock() && statusView->resetRequest != 0) {
            statusView->resetRequest = 0;
            ASIOCallbacks* callbacks = hostCallbacks;
            if (callbacks && callbacks->asioMessage)
                callbacks->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
        }
        // The wake event ends the wait at once when the watcher is stopped,
        // so disposeBuffers does not wait out the interval.
        if (watcherWake)
            WaitForSingleObject(watcherWake, kWatchIntervalMs);
        else
            Sleep(kWatchIntervalMs);
    }
}

void AsioSample::startResetWatcher()
{
    if (watcherThread)
        return;
    InterlockedExchange(&watcherQuit, 0);
    watcherWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, watcherMain, this, CREATE_SUSPENDED, nullptr);
    if (!thread) {
        // Reset requests then simply go unseen.
        if (watcherWake)
            CloseHandle(watcherWake);
        watcherWake = nullptr;
        return;
    }
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask))
        SetThreadAffinityMask(thread, processMask);
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    SetThreadPriorityBoost(thread, FALSE);
    watcherThread = thread;
    ResumeThread(thread);
}

void AsioSample::stopResetWatcher()
{
    if (!watcherThread)
        return;
    InterlockedExchange(&watcherQuit, 1);
    if (watcherWake)
        SetEvent(watcherWake);
    DWORD code = 0;
    while (GetExitCodeThread(watcherThread, &code) && code == STILL_ACTIVE)
        SleepEx(kExitPollMs, FALSE);
    CloseHandle(watcherThread);
    watcherThread = nullptr;
    if (watcherWake)
        CloseHandle(watcherWake);
    watcherWake = nullptr;
}

}  // namespace rk50
