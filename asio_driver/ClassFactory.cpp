#include "ClassFactory.h"

#include "AsioSample.h"
#include "ComBase.h"
#include "DriverClsid.h"

namespace rk50 {

const FactoryTemplate factoryTemplates[] = {
    {L"Varnel RK50 ASIO Driver", &CLSID_VarnelRK50ASIO, &AsioSample::createInstance, nullptr},
};
const int factoryTemplateCount = sizeof(factoryTemplates) / sizeof(factoryTemplates[0]);

CClassFactory::CClassFactory(const FactoryTemplate* templ) : template_(templ), refCount_(0) {}

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

// The factory is used from one apartment; interlocked costs nothing, so use it.
ULONG STDMETHODCALLTYPE CClassFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG STDMETHODCALLTYPE CClassFactory::Release()
{
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) {
        delete this;
        return 0;
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    // An aggregate may only ask for the inner object's non-delegating unknown.
    if (outer && !IsEqualIID(iid, IID_IUnknown))
        return E_NOINTERFACE;

    HRESULT result = S_OK;
    CUnknown* created = template_->create(outer, &result);
    if (!created)
        return E_OUTOFMEMORY;
    if (FAILED(result)) {
        delete created;
        return result;
    }
    // The query takes its own reference; our Release then leaves exactly the
    // caller's, or destroys the object when the query failed.
    created->NonDelegatingAddRef();
    HRESULT queried = created->NonDelegatingQueryInterface(iid, object);
    created->NonDelegatingRelease();
    return queried;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock)
{
    if (lock)
        InterlockedIncrement(&serverLocks);
    else
        InterlockedDecrement(&serverLocks);
    return S_OK;
}

}  // namespace rk50
