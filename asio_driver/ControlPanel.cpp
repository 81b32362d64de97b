// controlPanel: bring the running control panel forward on its ASIO page, or
// start it from the folder the driver is registered in.
#include "AsioSample.h"

#include "DriverClsid.h"
#include "PanelLink.h"

#include "../shared/RK50Constants.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace rk50 {

namespace {

constexpr char kPanelProgram[] = "VarnelRK50ACPL.exe";
constexpr int kClassIdBytes = 100;
constexpr int kServerPathBytes = 1024;

HWND findPanelWindow()
{
    HWND window = FindWindowA(nullptr, kPanelWindowTitle);
    return window == INVALID_HANDLE_VALUE ? nullptr : window;
}

// The file registered as the driver's in-process server; false when the
// driver is not registered.
bool registeredServerPath(char* path, DWORD capacity)
{
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(CLSID_VarnelRK50ASIO, &wide)) || !wide)
        return false;
    char classId[kClassIdBytes] = "";
    const int converted = WideCharToMultiByte(CP_ACP, 0, wide, -1, classId, sizeof classId, nullptr, nullptr);
    CoTaskMemFree(wide);
    if (converted == 0)
        return false;
    char keyPath[kClassIdBytes + 32];
    snprintf(keyPath, sizeof keyPath, "CLSID\\%s\\InprocServer32", classId);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = capacity - 1;
    const LONG status = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return false;
    path[size < capacity ? size : capacity - 1] = '\0';
    return true;
}

}  // namespace

ASIOError AsioSample::controlPanel()
{
    HWND panel = findPanelWindow();
    if (panel) {
        if (hasStatusBlock())
            statusView->panelRequested = 1;
        ShowWindow(panel, SW_SHOWNORMAL);
        notifyPanel(ASIOWM_SHOWCPL);
        return ASE_OK;
    }

    char program[kServerPathBytes] = "";
    if (!registeredServerPath(program, sizeof program))
        return ASE_NotPresent;
    // The panel lives next to the driver file.
    char* lastSeparator = strrchr(program, '\\');
    char* name = lastSeparator ? lastSeparator + 1 : program;
    const size_t room = sizeof program - static_cast<size_t>(name - program);
    if (strlen(kPanelProgram) >= room)
        return ASE_NotPresent;
    memcpy(name, kPanelProgram, sizeof kPanelProgram);
    // A launch that fails is not noticed: the user sees no panel.
    ShellExecuteA(nullptr, "open", program, nullptr, nullptr, SW_SHOWNORMAL);

    if (findPanelWindow())
        notifyPanel(ASIOWM_SHOWCPL);
    // A panel that starts now finds the request when it maps the block.
    if (hasStatusBlock())
        statusView->panelRequested = 1;
    return ASE_OK;
}

}  // namespace rk50
