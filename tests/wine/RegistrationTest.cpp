// Self-registration through the real regsvr32, and the failure message boxes.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char kClassKey[] = "CLSID\\{7B3E5C21-4A9D-4F62-9C1B-52D0A7E6F3B4}";
constexpr char kInprocKey[] = "CLSID\\{7B3E5C21-4A9D-4F62-9C1B-52D0A7E6F3B4}\\InprocServer32";
constexpr char kAsioKey[] = "SOFTWARE\\ASIO\\Varnel RK50 ASIO";
constexpr char kClassIdText[] = "{7B3E5C21-4A9D-4F62-9C1B-52D0A7E6F3B4}";

DWORD runRegsvr32(const std::string& arguments)
{
    return rk50test::runProcess("regsvr32.exe " + arguments);
}

std::string quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { rk50test::removeDriverState(); }
    void TearDown() override
    {
        rk50test::removeDriverState();
        if (!copyFolder_.empty()) {
            DeleteFileA((copyFolder_ + "\\VarnelRK50ASIO.dll").c_str());
            DeleteFileA((copyFolder_ + "\\other.dll").c_str());
            RemoveDirectoryA(copyFolder_.c_str());
        }
    }

    // A copy of the driver under another folder, with the given file name.
    std::string copyDriver(const char* fileName)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        copyFolder_ = std::string(temp) + "rk50-registration-test";
        CreateDirectoryA(copyFolder_.c_str(), nullptr);
        std::string target = copyFolder_ + "\\" + fileName;
        EXPECT_TRUE(CopyFileA(rk50test::driverPath().c_str(), target.c_str(), FALSE)) << target;
        return target;
    }

    std::string copyFolder_;
};

TEST_F(Registration, WritesTheClassAndAsioKeysAndTheProfileEntry)
{
    ASSERT_EQ(runRegsvr32(quoted(rk50test::driverPath())), 0u);
    const std::string path = lower(rk50test::driverPath());

    struct Row {
        HKEY root;
        const char* key;
        const char* value;
        std::string data;
    };
    const Row rows[] = {
        {HKEY_CLASSES_ROOT, kClassKey, nullptr, "Varnel RK50 ASIO Driver"},
        {HKEY_CLASSES_ROOT, kInprocKey, nullptr, path},
        {HKEY_CLASSES_ROOT, kInprocKey, "ThreadingModel", "Apartment"},
        {HKEY_LOCAL_MACHINE, kAsioKey, "CLSID", kClassIdText},
        {HKEY_LOCAL_MACHINE, kAsioKey, "Description", "Varnel RK50 ASIO Driver"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(rk50test::readRegistryString(row.root, row.key, row.value), row.data)
            << row.key << " value " << (row.value ? row.value : "(default)");
    }
    EXPECT_EQ(rk50test::readProfileString("QuorixASIO", "ASIOPATH"), path);
}

TEST_F(Registration, AgainFromTheSamePathRebuildsOnlyTheAsioKey)
{
    ASSERT_EQ(runRegsvr32(quoted(rk50test::driverPath())), 0u);
    // Marks that a rewrite would erase.
    RegSetKeyValueA(HKEY_CLASSES_ROOT, kClassKey, "Marker", REG_SZ, "kept", 5);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kAsioKey, "Marker", REG_SZ, "stale", 6);
    WriteProfileStringA("QuorixASIO", nullptr, nullptr);

    ASSERT_EQ(runRegsvr32(quoted(rk50test::driverPath())), 0u);
    EXPECT_EQ(rk50test::readRegistryString(HKEY_CLASSES_ROOT, kClassKey, "Marker"), "kept");
    EXPECT_EQ(rk50test::readRegistryString(HKEY_LOCAL_MACHINE, kAsioKey, "Marker"), "");
    EXPECT_EQ(rk50test::readRegistryString(HKEY_LOCAL_MACHINE, kAsioKey, "CLSID"), kClassIdText);
    EXPECT_EQ(rk50test::readProfileString("QuorixASIO", "ASIOPATH"), "")
        << "the profile entry is written only with a new class key";
}

TEST_F(Registration, FromAnotherPathReplacesTheClassKey)
{
    ASSERT_EQ(runRegsvr32(quoted(rk50test::driverPath())), 0u);
    RegSetKeyValueA(HKEY_CLASSES_ROOT, kClassKey, "Marker", REG_SZ, "old", 4);
    const std::string moved = copyDriver("VarnelRK50ASIO.dll");

    ASSERT_EQ(runRegsvr32(quoted(moved)), 0u);
    EXPECT_EQ(rk50test::readRegistryString(HKEY_CLASSES_ROOT, kInprocKey, nullptr), lower(moved));
    EXPECT_EQ(rk50test::readRegistryString(HKEY_CLASSES_ROOT, kClassKey, "Marker"), "")
        << "the old class key is deleted whole";
    EXPECT_EQ(rk50test::readProfileString("QuorixASIO", "ASIOPATH"), lower(moved));
}

TEST_F(Registration, UnregisterRemovesBothKeysAndKeepsTheProfileEntry)
{
    ASSERT_EQ(runRegsvr32(quoted(rk50test::driverPath())), 0u);
    ASSERT_EQ(runRegsvr32("/u " + quoted(rk50test::driverPath())), 0u);
    EXPECT_FALSE(rk50test::registryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(rk50test::registryKeyExists(HKEY_LOCAL_MACHINE, kAsioKey));
    EXPECT_TRUE(rk50test::registryKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\ASIO"));
    EXPECT_EQ(rk50test::readProfileString("QuorixASIO", "ASIOPATH"), lower(rk50test::driverPath()));
}

TEST_F(Registration, UnregisterWithNothingRegisteredSucceedsSilently)
{
    HMODULE module = LoadLibraryA(rk50test::driverPath().c_str());
    ASSERT_NE(module, nullptr);
    auto unregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllUnregisterServer"));
    ASSERT_NE(unregister, nullptr);
    rk50test::MessageBoxWatcher watcher("Varnel RK50 ASIO DRIVER", 1500);
    EXPECT_EQ(unregister(), 0);
    EXPECT_EQ(watcher.text(), "") << "no message box";
    FreeLibrary(module);
}

// Loaded under another file name, the module cannot find itself by name.
TEST_F(Registration, ModuleUnderAnotherNameFailsWithMessage)
{
    const std::string other = copyDriver("other.dll");
    HMODULE module = LoadLibraryA(other.c_str());
    ASSERT_NE(module, nullptr);
    struct Case {
        const char* exportName;
        const char* message;
    };
    const Case cases[] = {
        {"DllRegisterServer", "Register Server failed ! (-101)"},
        {"DllUnregisterServer", "Unregister Server failed ! (-101)"},
    };
    for (const Case& c : cases) {
        auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, c.exportName));
        ASSERT_NE(entry, nullptr) << c.exportName;
        rk50test::MessageBoxWatcher watcher("Varnel RK50 ASIO DRIVER");
        EXPECT_EQ(entry(), -1) << c.exportName;
        EXPECT_EQ(watcher.text(), c.message) << c.exportName;
    }
    EXPECT_FALSE(rk50test::registryKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    FreeLibrary(module);
}

}  // namespace
