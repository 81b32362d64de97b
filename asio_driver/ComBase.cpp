#include "ComBase.h"

namespace rk50 {

LONG liveObjects = 0;
LONG serverLocks = 0;

CBaseObject::CBaseObject(const char*)
{
    InterlockedIncrement(&liveObjects);
}

CBaseObject::~CBaseObject()
{
    InterlockedDecrement(&liveObjects);
}

CUnknown::CUnknown(const char* objectName, IUnknown* outer)
    : CBaseObject(objectName), owner_(outer ? outer : nonDelegatingUnknown()), refCount_(0)
{
}

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown)) {
        *object = nonDelegatingUnknown();
        NonDelegatingAddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef()
{
    LONG count = InterlockedIncrement(&refCount_);
    return count < 1 ? 1 : static_cast<ULONG>(count);
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease()
{
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) {
        // Held at 1 so that an AddRef/Release pair inside the destructor
        // cannot start a second destruction.
        refCount_ = 1;
        delete this;
        return 0;
    }
    return count < 1 ? 1 : static_cast<ULONG>(count);
}

}  // namespace rk50
