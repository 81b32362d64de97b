#include "ServerRegistration.h"

#include "RegistryKeys.h"

#include <cstdio>
#include <cstring>

namespace rk50 {

namespace {

constexpr char kAsioKey[] = "SOFTWARE\\ASIO";
constexpr char kClassesKey[] = "CLSID";
constexpr int kClassIdTextBytes = 100;

struct ModuleIdentity {
    char path[kRegistryPathBytes];  // lower case
    char classId[kClassIdTextBytes];
    char classKey[kRegistryPathBytes];  // CLSID\{id}
};

int identifyModule(const CLSID& classId, const char* moduleName, ModuleIdentity& identity)
{
    HMODULE module = GetModuleHandleA(moduleName);
    if (!module)
        return -101;
    DWORD length = GetModuleFileNameA(module, identity.path, sizeof identity.path);
    if (length == 0 || length >= sizeof identity.path)
        return -102;
    CharLowerA(identity.path);

    int status = classIdToString(classId, identity.classId, sizeof identity.classId);
    snprintf(identity.classKey, sizeof identity.classKey, "%s\\%s", kClassesKey, identity.classId);
    return status;
}

// What the class key holds; written in this order by one loop.
struct RegistryRow {
    const char* subkey;     // below CLSID\{id}, null for the class key itself
    const char* valueName;  // null for the default value
    const char* data;
};

void writeClassKey(const ModuleIdentity& identity, const char* description,
                   const char* threadingModel)
{
    const RegistryRow rows[] = {
        {nullptr, nullptr, description},
        {"InprocServer32", nullptr, identity.path},
        {"InprocServer32", "ThreadingModel", threadingModel},
    };
    const char* classKey = identity.classKey;
    createSubkey(HKEY_CLASSES_ROOT, kClassesKey, identity.classId);
    for (const RegistryRow& row : rows) {
        char path[kRegistryPathBytes];
        if (row.subkey) {
            createSubkey(HKEY_CLASSES_ROOT, classKey, row.subkey);
            snprintf(path, sizeof path, "%s\\%s", classKey, row.subkey);
        } else {
            snprintf(path, sizeof path, "%s", classKey);
        }
        setStringValue(HKEY_CLASSES_ROOT, path, row.valueName, row.data);
    }
    WriteProfileStringA("QuorixASIO", "ASIOPATH", identity.path);
}

bool classKeyPointsAt(const ModuleIdentity& identity)
{
    char path[kRegistryPathBytes];
    snprintf(path, sizeof path, "%s\\InprocServer32", identity.classKey);
    char registered[kRegistryPathBytes];
    if (readStringValue(HKEY_CLASSES_ROOT, path, nullptr, registered, sizeof registered) != 0)
        return false;
    CharLowerA(registered);
    return strcmp(registered, identity.path) == 0;
}

void removeAsioKey(const char* asioName)
{
    char path[kRegistryPathBytes];
    snprintf(path, sizeof path, "%s\\%s", kAsioKey, asioName);
    if (keyExists(HKEY_LOCAL_MACHINE, kAsioKey) && keyExists(HKEY_LOCAL_MACHINE, path))
        deleteKeyTree(HKEY_LOCAL_MACHINE, kAsioKey, asioName);
}

}  // namespace

int classIdToString(const CLSID& classId, char* text, int capacity)
{
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(classId, &wide)) || !wide)
        return -103;
    int converted = WideCharToMultiByte(CP_ACP, 0, wide, -1, text, capacity, nullptr, nullptr);
    CoTaskMemFree(wide);
    return converted == 0 ? -104 : 0;
}

int registerServer(const CLSID& classId, const char* moduleName, const char* asioName,
                   const char* description, const char* threadingModel)
{
    ModuleIdentity identity;
    int status = identifyModule(classId, moduleName, identity);
    if (status != 0)
        return status;

    bool upToDate = false;
    if (keyExists(HKEY_CLASSES_ROOT, identity.classKey)) {
        upToDate = classKeyPointsAt(identity);
        if (!upToDate)
            deleteKeyTree(HKEY_CLASSES_ROOT, kClassesKey, identity.classId);
    }
    if (!upToDate)
        writeClassKey(identity, description, threadingModel);

    if (keyExists(HKEY_LOCAL_MACHINE, kAsioKey))
        removeAsioKey(asioName);
    else
        createSubkey(HKEY_LOCAL_MACHINE, "SOFTWARE", "ASIO");

    char asioKey[kRegistryPathBytes];
    snprintf(asioKey, sizeof asioKey, "%s\\%s", kAsioKey, asioName);
    createSubkey(HKEY_LOCAL_MACHINE, kAsioKey, asioName);
    setStringValue(HKEY_LOCAL_MACHINE, asioKey, "CLSID", identity.classId);
    setStringValue(HKEY_LOCAL_MACHINE, asioKey, "Description", description);
    return 0;
}

int unregisterServer(const CLSID& classId, const char* moduleName, const char* asioName)
{
    ModuleIdentity identity;
    int status = identifyModule(classId, moduleName, identity);
    if (status != 0)
        return status;

    if (keyExists(HKEY_CLASSES_ROOT, identity.classKey))
        deleteKeyTree(HKEY_CLASSES_ROOT, kClassesKey, identity.classId);
    removeAsioKey(asioName);
    return 0;
}

}  // namespace rk50
