// COM identity and lifetime for the driver object: a counted base, the
// non-delegating unknown that makes aggregation possible, and the process-wide
// counters that DllCanUnloadNow reports on.
#pragma once

#include <windows.h>

namespace rk50 {

// Every constructed CBaseObject, changed with interlocked operations.
extern LONG liveObjects;
// LockServer's count.
extern LONG serverLocks;

class CBaseObject {
public:
    explicit CBaseObject(const char* objectName);
    virtual ~CBaseObject();

    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
};

// IUnknown's three operations for the object itself, independent of any outer
// object; the deleting destructor follows them in the vtable.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
    virtual ~INonDelegatingUnknown() = default;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    CUnknown(const char* objectName, IUnknown* outer);

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    IUnknown* owner() const { return owner_; }
    // The non-delegating unknown seen as an IUnknown: same slots, same conventions.
    IUnknown* nonDelegatingUnknown()
    {
        return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this));
    }

private:
    IUnknown* owner_;
    LONG refCount_;
};

}  // namespace rk50
