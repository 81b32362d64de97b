// The machine's audio endpoints behind the platform's device enumerator class.
// rk50sim.dll serves CLSID_MMDeviceEnumerator through DllGetClassObject; a
// test or the demo points that class's InprocServer32 at rk50sim.dll in its
// Wine prefix, so that a program's own CoCreateInstance (shipped or simulator
// flavour) meets these endpoints. Collections are snapshots taken at
// EnumAudioEndpoints; the converter's endpoints are not present while it is
// unplugged.
#include "SimControlBlock.h"
#include "SimMachine.h"

#include <windows.h>
#include <mmdeviceapi.h>
#include <propidl.h>
#include <propsys.h>

#include <new>
#include <string>
#include <vector>

namespace {

// {BCDE0395-E52F-467C-8E3D-C4579291692E}
const CLSID kEnumeratorClass = {0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
// {B3F8FA53-0004-438E-9003-51A46E139BFC},2: the endpoint's device-instance path.
const PROPERTYKEY kInstancePathKey = {{0xb3f8fa53, 0x0004, 0x438e, {0x90, 0x03, 0x51, 0xa4, 0x6e, 0x13, 0x9b, 0xfc}},
                                      2};

LONG liveObjects = 0;

std::wstring wide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring result(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], length);
    result.resize(length - 1);
    return result;
}

wchar_t* taskCopy(const std::wstring& text)
{
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy)
        memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return copy;
}

// IUnknown for one interface (and IUnknown itself).
template <typename Interface>
class ComObject : public Interface {
public:
    ComObject() { InterlockedIncrement(&liveObjects); }
    virtual ~ComObject() { InterlockedDecrement(&liveObjects); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }

private:
    LONG references_ = 1;
};

class PropertyStore : public ComObject<IPropertyStore> {
public:
    explicit PropertyStore(const rk50sim::Endpoint& endpoint) : endpoint_(endpoint) {}
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) override
    {
        if (!key)
            return E_POINTER;
        if (index != 0)
            return E_INVALIDARG;
        *key = kInstancePathKey;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        PropVariantInit(value);
        // A property the store does not hold reads as empty, as on Windows.
        if (!IsEqualGUID(key.fmtid, kInstancePathKey.fmtid) || key.pid != kInstancePathKey.pid ||
            endpoint_.value == rk50sim::Endpoint::Value::Missing)
            return S_OK;
        if (endpoint_.value == rk50sim::Endpoint::Value::Number) {
            value->vt = VT_UI4;
            value->ulVal = 42;
            return S_OK;
        }
        value->pwszVal = taskCopy(wide(endpoint_.instancePath));
        if (!value->pwszVal)
            return E_OUTOFMEMORY;
        value->vt = VT_LPWSTR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Commit() override { return STG_E_ACCESSDENIED; }

private:
    rk50sim::Endpoint endpoint_;
};

class Device : public ComObject<IMMDevice> {
public:
    Device(const rk50sim::Endpoint& endpoint, DWORD state) : endpoint_(endpoint), state_(state) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void** object) override
    {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** store) override
    {
        if (!store)
            return E_POINTER;
        *store = nullptr;
        if (access != STGM_READ)
            return E_ACCESSDENIED;
        if (endpoint_.value == rk50sim::Endpoint::Value::NoStore)
            return E_FAIL;
        *store = new (std::nothrow) PropertyStore(endpoint_);
        return *store ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override
    {
        if (!id)
            return E_POINTER;
        *id = nullptr;
        if (!endpoint_.hasId)
            return E_FAIL;
        *id = taskCopy(wide(endpoint_.id));
        return *id ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override
    {
        if (!state)
            return E_POINTER;
        *state = state_;
        return S_OK;
    }

private:
    rk50sim::Endpoint endpoint_;
    DWORD state_;
};

struct Listed {
    rk50sim::Endpoint endpoint;
    DWORD state;
};

class Collection : public ComObject<IMMDeviceCollection> {
public:
    explicit Collection(std::vector<Listed> endpoints) : endpoints_(std::move(endpoints)) {}
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<UINT>(endpoints_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** device) override
    {
        if (!device)
            return E_POINTER;
        *device = nullptr;
        if (index >= endpoints_.size())
            return E_INVALIDARG;
        *device = new (std::nothrow) Device(endpoints_[index].endpoint, endpoints_[index].state);
        return *device ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::vector<Listed> endpoints_;
};

// The state an endpoint shows now: the converter's are not present while it
// is unplugged.
DWORD stateNow(const rk50sim::Endpoint& endpoint, bool plugged)
{
    if (!plugged && rk50sim::belongsToConverter(endpoint.instancePath))
        return rk50sim::kEndpointNotPresent;
    return endpoint.state;
}

class Enumerator : public ComObject<IMMDeviceEnumerator> {
public:
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD mask, IMMDeviceCollection** result) override
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        if (flow != eRender && flow != eCapture && flow != eAll)
            return E_INVALIDARG;
        if (mask & ~DEVICE_STATEMASK_ALL)
            return E_INVALIDARG;
        rk50sim::reloadMachine();
        const rk50sim::Machine machine = rk50sim::currentMachine();
        const bool plugged = rk50sim::converterPlugged();
        std::vector<Listed> listed;
        for (const rk50sim::Endpoint& endpoint : machine.access.endpoints) {
            const EDataFlow own = endpoint.flow == rk50sim::EndpointFlow::Render ? eRender : eCapture;
            const DWORD state = stateNow(endpoint, plugged);
            if ((flow == eAll || flow == own) && (state & mask))
                listed.push_back({endpoint, state});
        }
        *result = new (std::nothrow) Collection(std::move(listed));
        return *result ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow, ERole, IMMDevice** device) override
    {
        if (device)
            *device = nullptr;
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** device) override
    {
        if (!id || !device)
            return E_POINTER;
        *device = nullptr;
        const rk50sim::Machine machine = rk50sim::currentMachine();
        const bool plugged = rk50sim::converterPlugged();
        for (const rk50sim::Endpoint& endpoint : machine.access.endpoints) {
            if (endpoint.hasId && wide(endpoint.id) == id) {
                *device = new (std::nothrow) Device(endpoint, stateNow(endpoint, plugged));
                return *device ? S_OK : E_OUTOFMEMORY;
            }
        }
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override
    {
        return E_NOTIMPL;
    }
};

class EnumeratorFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory for the life of the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Enumerator* enumerator = new (std::nothrow) Enumerator;
        if (!enumerator)
            return E_OUTOFMEMORY;
        const HRESULT hr = enumerator->QueryInterface(iid, object);
        enumerator->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

EnumeratorFactory factory;

}  // namespace

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(classId, kEnumeratorClass))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

// rk50sim.dll is also bound by import into the simulator flavours, so it
// never unloads while a program runs.
HRESULT WINAPI DllCanUnloadNow(void)
{
    return S_FALSE;
}

}  // extern "C"
