// The COM entry points of the built DLL, called through the export table as
// COM itself calls them.
#include "TestSupport.h"

#include "asio_driver/AsioInterface.h"
#include "asio_driver/DriverClsid.h"

#include <gtest/gtest.h>

using rk50test::hresultName;

namespace {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();

// {00000000-1111-2222-3333-444455556666}: an id nobody implements.
const GUID kForeignId = {0, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

class ComServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        rk50test::removeDriverState();
        module_ = LoadLibraryA(rk50test::driverPath().c_str());
        ASSERT_NE(module_, nullptr) << "LoadLibrary(" << rk50test::driverPath() << ")";
        getClassObject_ = reinterpret_cast<GetClassObjectFn>(GetProcAddress(module_, "DllGetClassObject"));
        canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(GetProcAddress(module_, "DllCanUnloadNow"));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
    }
    void TearDown() override
    {
        FreeLibrary(module_);
        rk50test::removeDriverState();
    }

    IClassFactory* factory()
    {
        void* object = nullptr;
        EXPECT_EQ(getClassObject_(rk50::CLSID_VarnelRK50ASIO, IID_IClassFactory, &object), S_OK);
        return static_cast<IClassFactory*>(object);
    }

    HMODULE module_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnloadNow_ = nullptr;
};

TEST_F(ComServer, DllGetClassObjectChecksInterfaceThenClass)
{
    struct Case {
        const GUID* classId;
        const GUID* iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {&rk50::CLSID_VarnelRK50ASIO, &IID_IClassFactory, S_OK},
        {&rk50::CLSID_VarnelRK50ASIO, &IID_IUnknown, S_OK},
        {&rk50::CLSID_VarnelRK50ASIO, &IID_IDispatch, E_NOINTERFACE},
        {&rk50::CLSID_VarnelRK50ASIO, &rk50::CLSID_VarnelRK50ASIO, E_NOINTERFACE},
        {&kForeignId, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&kForeignId, &IID_IDispatch, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        HRESULT hr = getClassObject_(*c.classId, *c.iid, &object);
        EXPECT_EQ(hresultName(hr), hresultName(c.expected));
        if (hr == S_OK) {
            ASSERT_NE(object, nullptr);
            // A fresh factory has exactly the reference handed out.
            EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
        }
    }
}

TEST_F(ComServer, FactoryQueryInterface)
{
    IClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    struct Case {
        const GUID* iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {&IID_IUnknown, S_OK},
        {&IID_IClassFactory, S_OK},
        {&IID_IDispatch, E_NOINTERFACE},
        {&rk50::CLSID_VarnelRK50ASIO, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        HRESULT hr = f->QueryInterface(*c.iid, &object);
        EXPECT_EQ(hresultName(hr), hresultName(c.expected));
        if (hr == S_OK) {
            EXPECT_EQ(object, static_cast<void*>(f));
            static_cast<IUnknown*>(object)->Release();
        } else {
            EXPECT_EQ(object, nullptr) << "the out pointer is cleared on failure";
        }
    }
    EXPECT_EQ(hresultName(f->QueryInterface(IID_IUnknown, nullptr)), "E_POINTER");
    EXPECT_EQ(f->Release(), 0u);
}

TEST_F(ComServer, CreateInstanceAndObjectQueryInterface)
{
    IClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(hresultName(f->CreateInstance(nullptr, IID_IUnknown, nullptr)), "E_POINTER");

    // A failed query destroys the new object again.
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(hresultName(f->CreateInstance(nullptr, IID_IDispatch, &object)), "E_NOINTERFACE");
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_OK") << "the refused object must be gone";

    void* asioObject = nullptr;
    ASSERT_EQ(f->CreateInstance(nullptr, rk50::CLSID_VarnelRK50ASIO, &asioObject), S_OK);
    IASIO* asio = static_cast<IASIO*>(asioObject);

    void* again = nullptr;
    EXPECT_EQ(asio->QueryInterface(rk50::CLSID_VarnelRK50ASIO, &again), S_OK);
    EXPECT_EQ(again, asioObject) << "the class id yields the IASIO pointer itself";
    static_cast<IUnknown*>(again)->Release();

    void* unknown = nullptr;
    EXPECT_EQ(asio->QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_NE(unknown, nullptr);
    EXPECT_NE(unknown, asioObject) << "IUnknown is the non-delegating unknown, a separate pointer";
    static_cast<IUnknown*>(unknown)->Release();

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(hresultName(asio->QueryInterface(IID_IClassFactory, &none)), "E_NOINTERFACE");
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(asio->Release(), 0u);
    EXPECT_EQ(f->Release(), 0u);
}

TEST_F(ComServer, AggregationOnlyHandsOutTheInnerUnknown)
{
    IClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    // Any IUnknown will do as the outer object; here the factory itself.
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(hresultName(f->CreateInstance(f, rk50::CLSID_VarnelRK50ASIO, &object)), "E_NOINTERFACE");
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_OK") << "no object may have been created";

    void* inner = nullptr;
    ASSERT_EQ(f->CreateInstance(f, IID_IUnknown, &inner), S_OK);
    IUnknown* innerUnknown = static_cast<IUnknown*>(inner);
    void* asio = nullptr;
    ASSERT_EQ(innerUnknown->QueryInterface(rk50::CLSID_VarnelRK50ASIO, &asio), S_OK);
    // IASIO's AddRef/Release now go to the outer object: the factory.
    ULONG outerCount = static_cast<IUnknown*>(asio)->AddRef();
    EXPECT_EQ(f->Release(), outerCount - 1);
    static_cast<IUnknown*>(asio)->Release();  // the query's reference, also counted on the outer
    f->AddRef();
    EXPECT_EQ(innerUnknown->Release(), 0u);
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_OK");
    f->Release();
}

TEST_F(ComServer, CanUnloadNowTracksObjectsAndLocks)
{
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_OK");
    IClassFactory* f = factory();
    ASSERT_NE(f, nullptr);
    void* object = nullptr;
    ASSERT_EQ(f->CreateInstance(nullptr, rk50::CLSID_VarnelRK50ASIO, &object), S_OK);
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_FALSE") << "a live driver object";
    static_cast<IUnknown*>(object)->Release();
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_OK");

    EXPECT_EQ(f->LockServer(TRUE), S_OK);
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_FALSE") << "a server lock";
    EXPECT_EQ(f->LockServer(FALSE), S_OK);
    EXPECT_EQ(hresultName(canUnloadNow_()), "S_OK");
    f->Release();
}

}  // namespace
