#include "TestSupport.h"

#include "asio_driver/AsioInterface.h"
#include "shared/RK50Constants.h"

#include <cstdio>

namespace rk50test {

std::string binFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string driverPath()
{
    return binFolder() + "VarnelRK50ASIO.dll";
}

DWORD runProcess(const std::string& commandLine, DWORD timeoutMs, const std::string& outputFile)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!outputFile.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process = {};
    std::string buffer = commandLine;
    BOOL started = CreateProcessA(nullptr, &buffer[0], nullptr, nullptr, output != INVALID_HANDLE_VALUE,
                                  0, nullptr, nullptr, &startup, &process);
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (!started)
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 0xFFFFFFFF);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string readTextFile(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    fclose(file);
    return text;
}

std::string tempFilePath(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + name;
}

bool useSimulatedMachine(const std::string& path, const std::string* text)
{
    if (!text)
        return SetEnvironmentVariableA("RK50SIM_CONFIG", nullptr) != FALSE;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = fwrite(text->data(), 1, text->size(), file) == text->size();
    if (fclose(file) != 0 || !written)
        return false;
    return SetEnvironmentVariableA("RK50SIM_CONFIG", path.c_str()) != FALSE;
}

bool registerDriver()
{
    return runProcess("regsvr32.exe \"" + driverPath() + "\"") == 0;
}

void removeDriverState()
{
    // Our class id, spelled out so that this clean-up does not depend on the
    // code under test.
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{7B3E5C21-4A9D-4F62-9C1B-52D0A7E6F3B4}");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ASIO\\Varnel RK50 ASIO");
    WriteProfileStringA("QuorixASIO", nullptr, nullptr);
    WriteProfileStringA("VarnelRK50AsioDrv", nullptr, nullptr);
}

std::string readRegistryString(HKEY root, const char* path, const char* valueName)
{
    char data[1024] = "";
    DWORD size = sizeof data - 1;
    if (RegGetValueA(root, path, valueName, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::string();
    return std::string(data);
}

bool registryKeyExists(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string readProfileString(const char* section, const char* key)
{
    char text[512] = "";
    GetProfileStringA(section, key, "", text, sizeof text);
    return std::string(text);
}

PanelWindowStub::PanelWindowStub()
{
    InitializeCriticalSection(&lock_);
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { run(); });
    WaitForSingleObject(ready_, 5000);
}

PanelWindowStub::~PanelWindowStub()
{
    if (window_)
        PostMessageA(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable())
        thread_.join();
    CloseHandle(ready_);
    DeleteCriticalSection(&lock_);
}

std::vector<unsigned> PanelWindowStub::commands()
{
    EnterCriticalSection(&lock_);
    std::vector<unsigned> copy = commands_;
    LeaveCriticalSection(&lock_);
    return copy;
}

void PanelWindowStub::clear()
{
    EnterCriticalSection(&lock_);
    commands_.clear();
    LeaveCriticalSection(&lock_);
}

LRESULT CALLBACK PanelWindowStub::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<PanelWindowStub*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_COMMAND:
        if (self) {
            EnterCriticalSection(&self->lock_);
            self->commands_.push_back(LOWORD(wParam));
            LeaveCriticalSection(&self->lock_);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void PanelWindowStub::run()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "RK50TestPanelStub";
    RegisterClassA(&windowClass);
    window_ = CreateWindowA("RK50TestPanelStub", rk50::kPanelWindowTitle, WS_OVERLAPPED, 0, 0, 100,
                            100, nullptr, nullptr, windowClass.hInstance, this);
    SetEvent(ready_);
    if (!window_)
        return;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    window_ = nullptr;
}

MessageBoxWatcher::MessageBoxWatcher(const char* caption, DWORD timeoutMs)
    : caption_(caption), timeoutMs_(timeoutMs)
{
    thread_ = std::thread([this] {
        DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < timeoutMs_) {
            HWND box = FindWindowA("#32770", caption_.c_str());
            if (box) {
                char text[256] = "";
                // The message text is the dialog's static control 0xFFFF.
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                text_ = text;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

std::string MessageBoxWatcher::text()
{
    if (thread_.joinable())
        thread_.join();
    return text_;
}

std::string hresultName(HRESULT hr)
{
    switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_POINTER: return "E_POINTER";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case CLASS_E_CLASSNOTAVAILABLE: return "CLASS_E_CLASSNOTAVAILABLE";
    case REGDB_E_CLASSNOTREG: return "REGDB_E_CLASSNOTREG";
    default: {
        char text[16];
        snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
        return text;
    }
    }
}

std::string asioErrorName(long code)
{
    switch (code) {
    case ASE_OK: return "ASE_OK";
    case ASE_SUCCESS: return "ASE_SUCCESS";
    case ASE_NotPresent: return "ASE_NotPresent";
    case ASE_InvalidParameter: return "ASE_InvalidParameter";
    case ASE_NoClock: return "ASE_NoClock";
    case ASE_NoMemory: return "ASE_NoMemory";
    default: return std::to_string(code);
    }
}

}  // namespace rk50test
