// What the panel device tests set up around the simulated converter: the
// machine file, the simulator's endpoint enumerator registered under the
// platform's class, plugging, and the Windows version the test process runs
// under (read when a process starts, so a case that needs another version
// runs itself again in a child process).
#pragma once

#include <windows.h>

#include <string>

namespace paneltest {

// Points CLSID_MMDeviceEnumerator's InprocServer32 at rk50sim.dll for the
// object's lifetime and restores what was there.
class SimEnumeratorRegistration {
public:
    SimEnumeratorRegistration();
    ~SimEnumeratorRegistration();
    SimEnumeratorRegistration(const SimEnumeratorRegistration&) = delete;
    SimEnumeratorRegistration& operator=(const SimEnumeratorRegistration&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    bool hadServer_ = false;
    std::string server_;
    std::string threadingModel_;
};

// Writes the machine file and points RK50SIM_CONFIG at it.
class SimMachineFile {
public:
    SimMachineFile();
    ~SimMachineFile();
    SimMachineFile(const SimMachineFile&) = delete;
    SimMachineFile& operator=(const SimMachineFile&) = delete;
    bool use(const std::string& text);

private:
    std::string path_;
};

// The simulator's control block, for plugging.
void setConverterPlugged(bool plugged);

enum class Mode { Endpoint, KernelStreaming };

// Wine's version name that gives the mode: Windows 7 for endpoints, Windows 10
// (reported as 6.2, so unclassified) for kernel streaming.
const char* versionFor(Mode mode);

// True when the calling test has been run in a child process under the
// version the mode needs (and its result recorded with gtest); the caller
// then returns. False when this process already runs in the mode.
bool ranInChildProcess(Mode mode);

// The simulator's count of mixer handles this process holds.
unsigned openMixerCount();

}  // namespace paneltest
