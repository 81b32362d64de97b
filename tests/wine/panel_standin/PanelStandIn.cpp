// A stand-in for the control panel program, built as "VarnelRK50ACPL.exe" for
// the tests of the driver's controlPanel: it shows a window with the panel's
// title, maps the status block as the panel does, and writes what it saw to
// the file named by RK50_STANDIN_REPORT: its own path, the block's
// panelRequested, and each command it receives. It ends on WM_CLOSE or after
// 60 seconds, so a failed test cannot leave it running.
#include "shared/RK50Constants.h"
#include "shared/StatusBlockMapping.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT_PTR kLifetimeTimer = 2;

FILE* report = nullptr;
rk50::StatusBlockMapping block;

void writeLine(const char* format, unsigned value)
{
    if (!report)
        return;
    fprintf(report, format, value);
    fflush(report);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        writeLine("command 0x%04X\n", static_cast<unsigned>(LOWORD(wParam)));
        return 0;
    case WM_TIMER:
        if (wParam == kLifetimeTimer) {
            DestroyWindow(window);
        } else if (rk50::isStatusBlockValid(block.view) && block.view->panelRequested) {
            // As the panel does: take the request and clear it.
            writeLine("panelRequested %u\n", static_cast<unsigned>(block.view->panelRequested));
            block.view->panelRequested = 0;
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char reportPath[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("RK50_STANDIN_REPORT", reportPath, sizeof reportPath);
    if (length > 0 && length < sizeof reportPath)
        report = fopen(reportPath, "w");
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    if (report) {
        fprintf(report, "path %s\n", self);
        fflush(report);
    }
    rk50::openStatusBlockMapping(block);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "RK50PanelStandIn";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(windowClass.lpszClassName, rk50::kPanelWindowTitle, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    SetTimer(window, kPollTimer, 100, nullptr);
    SetTimer(window, kLifetimeTimer, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    rk50::closeStatusBlockMapping(block);
    if (report)
        fclose(report);
    return 0;
}
