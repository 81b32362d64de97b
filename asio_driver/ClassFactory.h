// The class factory and the table of classes this server publishes.
#pragma once

#include <windows.h>

namespace rk50 {

class CUnknown;

// Creates the object (aggregated when outer is given). May report a failure
// through *result; returns null when allocation fails.
typedef CUnknown* (*CreateObjectFunction)(IUnknown* outer, HRESULT* result);

struct FactoryTemplate {
    const wchar_t* displayName;
    const CLSID* classId;
    CreateObjectFunction create;
    void (*initRoutine)(BOOL loading, const CLSID* classId);
};

extern const FactoryTemplate factoryTemplates[];
extern const int factoryTemplateCount;

class CClassFactory : public IClassFactory {
public:
    explicit CClassFactory(const FactoryTemplate* templ);
    virtual ~CClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    const FactoryTemplate* template_;
    LONG refCount_;
};

}  // namespace rk50
