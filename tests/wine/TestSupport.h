// Helpers shared by the tests that run under Wine: where the built programs
// are, the driver's registration, a stand-in panel window that records the
// commands it receives, and clean-up of the state a test leaves.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace rk50test {

// Folder of the running test program (the build's bin folder), with a
// trailing backslash.
std::string binFolder();
std::string driverPath();

// Runs a command line, waits for it (up to timeoutMs) and returns its exit code,
// or 0xFFFFFFFF when it could not be started or did not end. With outputFile,
// the child's standard output and error go to that file.
DWORD runProcess(const std::string& commandLine, DWORD timeoutMs = 30000,
                 const std::string& outputFile = std::string());
std::string readTextFile(const std::string& path);
std::string tempFilePath(const char* name);

// Registers the driver in bin with the real regsvr32.
bool registerDriver();

// Removes the driver's registration and the profile entries the driver and
// registration write, so that each test starts from nothing.
void removeDriverState();

// Reads a string value; empty when missing.
std::string readRegistryString(HKEY root, const char* path, const char* valueName);
bool registryKeyExists(HKEY root, const char* path);
std::string readProfileString(const char* section, const char* key);

// A top-level window titled like the control panel, run by its own thread,
// that records every WM_COMMAND identifier sent to it.
class PanelWindowStub {
public:
    PanelWindowStub();
    ~PanelWindowStub();
    PanelWindowStub(const PanelWindowStub&) = delete;
    PanelWindowStub& operator=(const PanelWindowStub&) = delete;

    HWND window() const { return window_; }
    std::vector<unsigned> commands();
    void clear();

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void run();

    std::thread thread_;
    HWND window_ = nullptr;
    HANDLE ready_ = nullptr;
    CRITICAL_SECTION lock_;
    std::vector<unsigned> commands_;
};

// Answers the first message box with the given caption (pressing its default
// button) within the timeout and returns its text; empty if none appeared.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(const char* caption, DWORD timeoutMs = 5000);
    ~MessageBoxWatcher();
    // Waits for the watcher to finish and returns the text it saw.
    std::string text();

private:
    std::string caption_;
    DWORD timeoutMs_;
    std::string text_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Writes a simulated machine to path and names it for the converter
// simulator (RK50SIM_CONFIG) in this process and its children; a null text
// returns to the simulator's built-in machine.
bool useSimulatedMachine(const std::string& path, const std::string* text);

std::string hresultName(HRESULT hr);
std::string asioErrorName(long code);

}  // namespace rk50test
