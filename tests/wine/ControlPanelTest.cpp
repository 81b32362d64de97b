// The driver's controlPanel: it brings a running panel forward, or starts the
// panel program from the folder the driver is registered in.
#include "TestSupport.h"

#include "asio_driver/AsioInterface.h"
#include "asio_driver/DriverClsid.h"
#include "shared/RK50Constants.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rk50test::asioErrorName;

namespace {

constexpr DWORD kPanelStartMs = 20000;

HWND waitForPanelWindow(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(nullptr, rk50::kPanelWindowTitle);
        if (window || GetTickCount() - start > timeoutMs)
            return window;
        Sleep(50);
    }
}

// Closes the panel window and waits for its process to end.
void closePanel(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (process) {
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

class ControlPanel : public ::testing::Test {
protected:
    void SetUp() override
    {
        rk50test::removeDriverState();
        ASSERT_EQ(FindWindowA(nullptr, rk50::kPanelWindowTitle), nullptr) << "a panel left from another test";
        CoInitialize(nullptr);
    }
    void TearDown() override
    {
        if (asio_)
            asio_->Release();
        CoUninitialize();
        rk50test::removeDriverState();
    }
    void create()
    {
        void* object = nullptr;
        ASSERT_EQ(rk50test::hresultName(CoCreateInstance(rk50::CLSID_VarnelRK50ASIO, nullptr, CLSCTX_INPROC_SERVER,
                                                         rk50::CLSID_VarnelRK50ASIO, &object)),
                  "S_OK");
        asio_ = static_cast<IASIO*>(object);
    }
    const AsioStatusBlock* block()
    {
        if (!view_) {
            mapping_ = OpenFileMappingA(FILE_MAP_READ, FALSE, rk50::kStatusBlockName);
            if (mapping_)
                view_ = static_cast<const AsioStatusBlock*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
        }
        return view_;
    }
    ~ControlPanel() override
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
    }

    IASIO* asio_ = nullptr;
    HANDLE mapping_ = nullptr;
    const AsioStatusBlock* view_ = nullptr;
};

TEST_F(ControlPanel, RunningPanelIsBroughtForwardOnItsAsioPage)
{
    ASSERT_TRUE(rk50test::registerDriver());
    rk50test::PanelWindowStub panel;
    ASSERT_NE(panel.window(), nullptr);
    ShowWindow(panel.window(), SW_MINIMIZE);
    create();
    panel.clear();
    EXPECT_EQ(asioErrorName(asio_->controlPanel()), "ASE_OK");
    EXPECT_EQ(panel.commands(), std::vector<unsigned>{ASIOWM_SHOWCPL});
    ASSERT_NE(block(), nullptr);
    EXPECT_EQ(block()->panelRequested, 1);
    EXPECT_TRUE(IsWindowVisible(panel.window()));
    EXPECT_FALSE(IsIconic(panel.window())) << "restored by SW_SHOWNORMAL";
}

TEST_F(ControlPanel, StartsThePanelFromTheRegisteredDriversFolder)
{
    // The driver registered from a folder of its own, beside a panel program.
    const std::string folder = rk50test::tempFilePath("rk50 panel folder\\");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string driverCopy = folder + "VarnelRK50ASIO.dll";
    const std::string panelCopy = folder + "VarnelRK50ACPL.exe";
    ASSERT_TRUE(CopyFileA(rk50test::driverPath().c_str(), driverCopy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((rk50test::binFolder() + "standin\\VarnelRK50ACPL.exe").c_str(), panelCopy.c_str(), FALSE));
    const std::string log = folder + "regsvr32.txt";
    ASSERT_EQ(rk50test::runProcess("regsvr32.exe /s \"" + driverCopy + "\"", 30000, log), 0u)
        << rk50test::readTextFile(log);
    const std::string report = folder + "report.txt";
    DeleteFileA(report.c_str());
    SetEnvironmentVariableA("RK50_STANDIN_REPORT", report.c_str());

    create();
    EXPECT_EQ(asioErrorName(asio_->controlPanel()), "ASE_OK");
    HWND window = waitForPanelWindow(kPanelStartMs);
    ASSERT_NE(window, nullptr) << "the panel program was not started";
    // The started panel finds the request in the block on its timer.
    const DWORD start = GetTickCount();
    std::string seen;
    while (GetTickCount() - start < 10000) {
        seen = rk50test::readTextFile(report);
        if (seen.find("panelRequested 1") != std::string::npos)
            break;
        Sleep(50);
    }
    closePanel(window);
    SetEnvironmentVariableA("RK50_STANDIN_REPORT", nullptr);
    EXPECT_NE(seen.find("panelRequested 1"), std::string::npos) << seen;
    const std::string pathLine = "path " + panelCopy;
    EXPECT_EQ(lstrcmpiA(seen.substr(0, seen.find_first_of("\r\n")).c_str(), pathLine.c_str()), 0)
        << "started from the driver's folder: " << seen;

    asio_->Release();
    asio_ = nullptr;
    CoFreeUnusedLibraries();
    DeleteFileA(report.c_str());
    DeleteFileA(panelCopy.c_str());
    DeleteFileA(driverCopy.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(ControlPanel, UnregisteredDriverWithoutPanelIsNotPresent)
{
    ASSERT_TRUE(rk50test::registerDriver());
    create();
    // The object lives on; only its registration goes.
    rk50test::removeDriverState();
    EXPECT_EQ(asioErrorName(asio_->controlPanel()), "ASE_NotPresent");
    EXPECT_EQ(FindWindowA(nullptr, rk50::kPanelWindowTitle), nullptr);
}

}  // namespace
