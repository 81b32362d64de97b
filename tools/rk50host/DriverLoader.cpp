#include "DriverLoader.h"

#include <cstdio>

namespace rk50host {

DriverLoader::~DriverLoader()
{
    release();
}

bool DriverLoader::load(const char* asioName)
{
    release();
    char keyPath[360];
    snprintf(keyPath, sizeof keyPath, "SOFTWARE\\ASIO\\%s", asioName);
    char classIdText[100] = "";
    DWORD size = sizeof classIdText - 1;
    LONG status = RegGetValueA(HKEY_LOCAL_MACHINE, keyPath, "CLSID", RRF_RT_REG_SZ, nullptr,
                               classIdText, &size);
    if (status != ERROR_SUCCESS) {
        snprintf(errorText_, sizeof errorText_, "no ASIO driver registered as \"%s\" (error %ld)",
                 asioName, status);
        return false;
    }
    wchar_t wide[100];
    MultiByteToWideChar(CP_ACP, 0, classIdText, -1, wide, 100);
    CLSID classId;
    if (FAILED(CLSIDFromString(wide, &classId))) {
        snprintf(errorText_, sizeof errorText_, "bad CLSID \"%s\"", classIdText);
        return false;
    }
    HRESULT hr = CoInitialize(nullptr);
    comInitialized_ = SUCCEEDED(hr);
    void* object = nullptr;
    hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, classId, &object);
    if (FAILED(hr) || !object) {
        snprintf(errorText_, sizeof errorText_, "CoCreateInstance(%s) failed: 0x%08lX", classIdText,
                 static_cast<unsigned long>(hr));
        return false;
    }
    driver_ = static_cast<IASIO*>(object);
    return true;
}

void DriverLoader::release()
{
    if (driver_) {
        driver_->Release();
        driver_ = nullptr;
    }
    if (comInitialized_) {
        CoUninitialize();
        comInitialized_ = false;
    }
}

}  // namespace rk50host
