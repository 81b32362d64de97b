// The five entry points of the in-process server.
#include "ClassFactory.h"
#include "ComBase.h"
#include "DriverClsid.h"
#include "ServerRegistration.h"

#include <windows.h>

#include <cstdio>
#include <new>

namespace {

constexpr char kModuleName[] = "VarnelRK50ASIO.dll";
constexpr char kAsioName[] = "Varnel RK50 ASIO";
constexpr char kDescription[] = "Varnel RK50 ASIO Driver";
constexpr char kMessageCaption[] = "Varnel RK50 ASIO DRIVER";

void showFailure(const char* format, int status)
{
    char text[128];
    snprintf(text, sizeof text, format, status);
    MessageBoxA(nullptr, text, kMessageCaption, MB_OK);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory))
        return E_NOINTERFACE;
    if (!object)
        return E_POINTER;
    for (int row = 0; row < rk50::factoryTemplateCount; ++row) {
        const rk50::FactoryTemplate& templ = rk50::factoryTemplates[row];
        if (!IsEqualCLSID(classId, *templ.classId))
            continue;
        rk50::CClassFactory* factory = new (std::nothrow) rk50::CClassFactory(&templ);
        *object = factory;
        if (!factory)
            return E_OUTOFMEMORY;
        factory->AddRef();
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return (rk50::serverLocks > 0 || rk50::liveObjects != 0) ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer()
{
    int status = rk50::registerServer(rk50::CLSID_VarnelRK50ASIO, kModuleName, kAsioName,
                                      kDescription, "Apartment");
    if (status == 0)
        return 0;
    showFailure("Register Server failed ! (%d)", status);
    return -1;
}

STDAPI DllUnregisterServer()
{
    int status = rk50::unregisterServer(rk50::CLSID_VarnelRK50ASIO, kModuleName, kAsioName);
    if (status == 0)
        return 0;
    showFailure("Unregister Server failed ! (%d)", status);
    return -1;
}

}  // extern "C"
