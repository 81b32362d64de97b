#include "PanelSimulation.h"

#include "AudioCPL/device/UsbAudioDevice.h"
#include "tests/wine/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

extern "C" UINT WINAPI rk50simOpenMixerCount(void);

namespace paneltest {

namespace {

const char kEnumeratorKey[] = "CLSID\\{BCDE0395-E52F-467C-8E3D-C4579291692E}\\InprocServer32";
const char kChildVariable[] = "RK50_PANEL_TEST_CHILD";

// The simulator's control block: magic, then the unplugged flag.
struct ControlBlockHead {
    DWORD magic;
    LONG unplugged;
};
constexpr DWORD kControlBlockBytes = 368;
constexpr DWORD kControlMagic = 0x53354B52;

std::string winecfgVersion()
{
    const std::string out = rk50test::tempFilePath("rk50_panel_winecfg.txt");
    rk50test::runProcess("winecfg.exe /v", 60000, out);
    std::string text = rk50test::readTextFile(out);
    DeleteFileA(out.c_str());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool setWinecfgVersion(const std::string& version)
{
    return rk50test::runProcess("winecfg.exe /v " + version, 60000) == 0;
}

}  // namespace

SimEnumeratorRegistration::SimEnumeratorRegistration()
{
    hadServer_ = rk50test::registryKeyExists(HKEY_CLASSES_ROOT, kEnumeratorKey);
    server_ = rk50test::readRegistryString(HKEY_CLASSES_ROOT, kEnumeratorKey, nullptr);
    threadingModel_ = rk50test::readRegistryString(HKEY_CLASSES_ROOT, kEnumeratorKey, "ThreadingModel");
    const std::string simulator = rk50test::binFolder() + "rk50sim.dll";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kEnumeratorKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const char both[] = "Both";
    ok_ = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(simulator.c_str()),
                         static_cast<DWORD>(simulator.size() + 1)) == ERROR_SUCCESS &&
          RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(both), sizeof both) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
}

SimEnumeratorRegistration::~SimEnumeratorRegistration()
{
    if (!hadServer_) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kEnumeratorKey);
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kEnumeratorKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(server_.c_str()),
                   static_cast<DWORD>(server_.size() + 1));
    RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(threadingModel_.c_str()),
                   static_cast<DWORD>(threadingModel_.size() + 1));
    RegCloseKey(key);
}

SimMachineFile::SimMachineFile()
    : path_(rk50test::tempFilePath(("rk50sim_panel_" + std::to_string(GetCurrentProcessId()) + ".cfg").c_str()))
{
}

SimMachineFile::~SimMachineFile()
{
    SetEnvironmentVariableA("RK50SIM_CONFIG", nullptr);
    DeleteFileA(path_.c_str());
}

bool SimMachineFile::use(const std::string& text)
{
    FILE* file = fopen(path_.c_str(), "wb");
    if (!file)
        return false;
    const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    fclose(file);
    return written && SetEnvironmentVariableA("RK50SIM_CONFIG", path_.c_str());
}

void setConverterPlugged(bool plugged)
{
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kControlBlockBytes, "RK50SIM_Control");
    ASSERT_NE(mapping, nullptr) << "simulator control block";
    auto* head = static_cast<ControlBlockHead*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(head, nullptr);
    InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&head->magic), static_cast<LONG>(kControlMagic), 0);
    InterlockedExchange(&head->unplugged, plugged ? 0 : 1);
    UnmapViewOfFile(head);
    // The simulator in this process holds its own view, so the block stays.
    CloseHandle(mapping);
}

const char* versionFor(Mode mode)
{
    return mode == Mode::Endpoint ? "win7" : "win10";
}

bool ranInChildProcess(Mode mode)
{
    rk50::UsbAudioDevice probe;
    if (probe.IsEndpointMode() == (mode == Mode::Endpoint))
        return false;
    char child[8] = "";
    if (GetEnvironmentVariableA(kChildVariable, child, sizeof child)) {
        ADD_FAILURE() << "the child process did not get the Windows version " << versionFor(mode);
        return true;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test->test_suite_name()) + "." + test->name();
    const std::string original = winecfgVersion();
    if (!setWinecfgVersion(versionFor(mode))) {
        ADD_FAILURE() << "winecfg /v " << versionFor(mode) << " failed";
        return true;
    }
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    SetEnvironmentVariableA(kChildVariable, "1");
    const std::string output = rk50test::tempFilePath("rk50_panel_child.txt");
    const DWORD code =
        rk50test::runProcess("\"" + std::string(self) + "\" --gtest_filter=" + name, 120000, output);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    EXPECT_TRUE(setWinecfgVersion(original)) << "restoring winecfg /v " << original;
    EXPECT_EQ(code, 0u) << name << " under " << versionFor(mode) << ":\n" << rk50test::readTextFile(output);
    DeleteFileA(output.c_str());
    return true;
}

unsigned openMixerCount()
{
    return rk50simOpenMixerCount();
}

}  // namespace paneltest
