// Wave-port discovery of the simulator flavour of the driver, one simulated
// machine per case, the driver created as a host creates it: registered from
// bin\sim and instantiated through COM.
#include "tests/wine/TestSupport.h"

#include "asio_driver/AsioInterface.h"
#include "asio_driver/DriverClsid.h"
#include "shared/RK50Constants.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

constexpr char kConfigVariable[] = "RK50SIM_CONFIG";
constexpr DWORD kRingBytes = 393228;
constexpr char kKsAudio[] = "{6994ad04-93ef-11d0-a3cc-00a0c9223196}";

std::string simDriverPath()
{
    return rk50test::binFolder() + "sim\\VarnelRK50ASIO.dll";
}

// A converter's wave-in and wave-out lines and the friendly name of its
// instance (none when friendly is null).
std::string converter(const char* instance, const char* friendly, const char* mi = "&MI_00")
{
    const std::string path = std::string("\\\\?\\USB#VID_3A5C&PID_0050") + mi + "#" + instance + "#" +
                             kKsAudio + "\\GLOBAL";
    std::string text = "wavein = " + path + " | RK50 In\n" + "waveout = " + path + " | RK50 Out\n";
    if (friendly)
        text += std::string("friendly = USB\\VID_3A5C&PID_0050") + mi + "\\" + instance + " | " + friendly + "\n";
    return text;
}

// The same device line in both directions.
std::string bothWays(const std::string& pathAndName)
{
    return "wavein = " + pathAndName + "\nwaveout = " + pathAndName + "\n";
}

class Discovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        rk50test::removeDriverState();
        CoInitialize(nullptr);
        module_ = LoadLibraryExA(simDriverPath().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        ASSERT_NE(module_, nullptr) << "LoadLibraryEx(" << simDriverPath() << ") error " << GetLastError();
        auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            GetProcAddress(module_, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(rk50test::hresultName(registerServer()), "S_OK");
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        configPath_ = std::string(temp) + "rk50sim_discovery_" + std::to_string(GetCurrentProcessId()) + ".cfg";
    }
    void TearDown() override
    {
        release();
        SetEnvironmentVariableA(kConfigVariable, nullptr);
        DeleteFileA(configPath_.c_str());
        if (module_)
            FreeLibrary(module_);
        CoUninitialize();
        rk50test::removeDriverState();
    }

    // No text: the simulator's built-in machine.
    void useMachine(const std::string* text)
    {
        ASSERT_TRUE(rk50test::useSimulatedMachine(configPath_, text)) << configPath_;
    }

    // Creates the driver and maps the status block it created.
    void create()
    {
        void* object = nullptr;
        HRESULT hr = CoCreateInstance(rk50::CLSID_VarnelRK50ASIO, nullptr, CLSCTX_INPROC_SERVER,
                                      rk50::CLSID_VarnelRK50ASIO, &object);
        ASSERT_EQ(rk50test::hresultName(hr), "S_OK");
        asio_ = static_cast<IASIO*>(object);
        block_ = OpenFileMappingA(FILE_MAP_READ, FALSE, rk50::kStatusBlockName);
        ASSERT_NE(block_, nullptr) << "the driver publishes its status block";
        status_ = static_cast<const AsioStatusBlock*>(MapViewOfFile(block_, FILE_MAP_READ, 0, 0, 0));
        ASSERT_NE(status_, nullptr);
    }

    void release()
    {
        // The block goes with the driver so that no case sees another's names.
        if (status_)
            UnmapViewOfFile(status_);
        if (block_)
            CloseHandle(block_);
        status_ = nullptr;
        block_ = nullptr;
        if (asio_)
            asio_->Release();
        asio_ = nullptr;
    }

    std::string channelName(bool input, long channel)
    {
        ASIOChannelInfo info = {};
        info.channel = channel;
        info.isInput = input ? ASIOTrue : ASIOFalse;
        if (asio_->getChannelInfo(&info) != ASE_OK)
            return "(getChannelInfo failed)";
        return info.name;
    }

    HMODULE module_ = nullptr;
    IASIO* asio_ = nullptr;
    HANDLE block_ = nullptr;
    const AsioStatusBlock* status_ = nullptr;
    std::string configPath_;
};

TEST_F(Discovery, RegistrationPointsAtTheSimulatorFlavour)
{
    const std::string server = rk50test::readRegistryString(
        HKEY_CLASSES_ROOT, "CLSID\\{7B3E5C21-4A9D-4F62-9C1B-52D0A7E6F3B4}\\InprocServer32", nullptr);
    EXPECT_EQ(lstrcmpiA(server.c_str(), simDriverPath().c_str()), 0)
        << server << " (Wine keeps the path in lower case)";
}

TEST_F(Discovery, MachinesAndWhatInitFinds)
{
    struct Case {
        const char* what;
        bool useDefault;
        std::string machine;
        ASIOBool init;
        long channels;        // inputs and outputs alike
        const char* display;  // published for port 0 of both directions; null: not checked
    };
    const std::string hdAudio =
        std::string("\\\\?\\HDAUDIO#FUNC_01&VEN_10EC&DEV_0888#4&2A1B&0&0001#") + kKsAudio + "\\eRender | Speakers";
    const std::string twoHashes = "\\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&TWO&0&0000 | RK50 two hashes";
    // Three '#' before a PID_ with too few digits: a valid instance id, no match.
    const std::string shortPid = "\\\\?\\USB#ROOT#6&SHORT#VID_3A5C&PID_050 | RK50 short PID";
    const Case cases[] = {
        {"built-in machine", true, "", ASIOTrue, 2, "Varnel RK50 USB Audio"},
        {"two identical converters: the first wins", false,
         converter("6&AAA&0&0000", "First RK50") + converter("6&BBB&0&0000", "Second RK50"), ASIOTrue, 2,
         "First RK50"},
        {"other audio devices first", false,
         bothWays(hdAudio) + "friendly = HDAUDIO\\FUNC_01&VEN_10EC&DEV_0888\\4&2A1B&0&0001 | Realtek\n" +
             converter("6&C&0&0000", "RK50 after others"),
         ASIOTrue, 2, "RK50 after others"},
        {"no MI_ still matches", false, converter("6&NOMI&0&0000", "RK50 without MI", ""), ASIOTrue, 2,
         "RK50 without MI"},
        {"short PID_ does not match", false,
         bothWays(shortPid) + "friendly = USB\\ROOT\\6&SHORT | Wrong device\n" +
             converter("6&D&0&0000", "RK50 after short PID"),
         ASIOTrue, 2, "RK50 after short PID"},
        {"only a short PID_", false, bothWays(shortPid) + "friendly = USB\\ROOT\\6&SHORT | Wrong device\n",
         ASIOFalse, 0, nullptr},
        {"interface size 0 skipped", false,
         bothWays("- | No path") + converter("6&E&0&0000", "RK50 after no path"), ASIOTrue, 2,
         "RK50 after no path"},
        {"only devices without a path", false, bothWays("- | No path"), ASIOFalse, 0, nullptr},
        {"two-# path skipped on NT 6.x", false,
         bothWays(twoHashes) + converter("6&F&0&0000", "RK50 after two hashes"), ASIOTrue, 2,
         "RK50 after two hashes"},
        {"only a two-# path", false, bothWays(twoHashes), ASIOFalse, 0, nullptr},
        {"no friendly name entry", false, converter("6&G&0&0000", nullptr), ASIOTrue, 2, "No Friendly Name"},
        {"instance without a friendly name", false,
         converter("6&H&0&0000", nullptr) + "friendly = USB\\VID_3A5C&PID_0050&MI_00\\6&H&0&0000\n", ASIOTrue,
         2, "No Friendly Name"},
        {"input only", false,
         "wavein = \\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&I&0&0000#" + std::string(kKsAudio) + "\\GLOBAL | In\n",
         ASIOFalse, 0, nullptr},
        {"no devices", false, "", ASIOFalse, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useMachine(c.useDefault ? nullptr : &c.machine);
        create();
        ASSERT_NE(asio_, nullptr);
        EXPECT_EQ(asio_->init(nullptr), c.init);
        long inputs = -1, outputs = -1;
        EXPECT_EQ(asio_->getChannels(&inputs, &outputs), ASE_OK);
        EXPECT_EQ(inputs, c.channels);
        EXPECT_EQ(outputs, c.channels);
        if (c.init == ASIOTrue) {
            EXPECT_EQ(channelName(true, 0), "Varnel_RK50_ASIO_In_0 (L)");
            EXPECT_EQ(channelName(true, 1), "Varnel_RK50_ASIO_In_0 (R)");
            EXPECT_EQ(channelName(false, 0), "Varnel_RK50_ASIO_Out_0 (L)");
            EXPECT_EQ(status_->inputPortCount, 1);
            EXPECT_EQ(status_->outputPortCount, 1);
        }
        if (c.display) {
            EXPECT_STREQ(status_->inputPortNames[0], c.display);
            EXPECT_STREQ(status_->outputPortNames[0], c.display);
        }
        release();
    }
}

// Size of a named mapping as the system keeps it, not rounded to pages.
LONGLONG sectionSize(HANDLE mapping)
{
    struct SectionBasicInformation {
        PVOID base;
        ULONG attributes;
        LARGE_INTEGER size;
    } info = {};
    typedef LONG(NTAPI * QuerySectionFn)(HANDLE, int, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QuerySectionFn>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySection"));
    if (!query || query(mapping, 0, &info, sizeof info, nullptr) != 0)
        return -1;
    return info.size.QuadPart;
}

TEST_F(Discovery, RingsAreNamedByPortAndSized)
{
    useMachine(nullptr);
    create();
    ASSERT_EQ(asio_->init(nullptr), ASIOTrue);
    for (const char* name : {"Varnel_RK50_ASIO_In_0", "Varnel_RK50_ASIO_Out_0"}) {
        HANDLE ring = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
        ASSERT_NE(ring, nullptr) << name << " after init";
        // Windows reports the size asked for; Wine rounds it up to whole pages.
        // Either way a ring without its 12-byte header (393216) would show.
        const LONGLONG size = sectionSize(ring);
        EXPECT_TRUE(size == kRingBytes || size == (kRingBytes + 4095) / 4096 * 4096)
            << name << ": " << size << " bytes";
        CloseHandle(ring);
    }
    HANDLE other = OpenFileMappingA(FILE_MAP_READ, FALSE, "Varnel_RK50_ASIO_In_1");
    EXPECT_EQ(other, nullptr) << "one converter, one port per direction";
    if (other)
        CloseHandle(other);
}

TEST_F(Discovery, RingHeldElsewhereIsSharedAndZeroed)
{
    HANDLE rings[2] = {};
    unsigned char* views[2] = {};
    const char* names[2] = {"Varnel_RK50_ASIO_In_0", "Varnel_RK50_ASIO_Out_0"};
    for (int i = 0; i < 2; ++i) {
        rings[i] = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRingBytes, names[i]);
        ASSERT_NE(rings[i], nullptr);
        views[i] = static_cast<unsigned char*>(MapViewOfFile(rings[i], FILE_MAP_ALL_ACCESS, 0, 0, 0));
        ASSERT_NE(views[i], nullptr);
        memset(views[i], 0xA5, kRingBytes);
    }
    useMachine(nullptr);
    create();
    ASSERT_EQ(asio_->init(nullptr), ASIOTrue);
    for (int i = 0; i < 2; ++i) {
        DWORD nonZero = 0;
        for (DWORD b = 0; b < kRingBytes; ++b)
            nonZero += views[i][b] != 0;
        EXPECT_EQ(nonZero, 0u) << names[i] << ": header and slots are zeroed by discovery";
        UnmapViewOfFile(views[i]);
        CloseHandle(rings[i]);
    }
}

}  // namespace

namespace {

// Applies a Windows version setting for processes started from now on.
bool setWindowsVersion(const std::string& setting)
{
    return rk50test::runProcess("winecfg.exe /v " + setting, 60000) == 0;
}

// Now and then winecfg's output reaches the file empty although it ran;
// asking again then gives the setting.
std::string currentWindowsVersion()
{
    const std::string output = rk50test::tempFilePath("rk50_winecfg_version.txt");
    std::string text;
    for (int attempt = 0; attempt < 3 && text.empty(); ++attempt) {
        rk50test::runProcess("winecfg.exe /v", 60000, output);
        text = rk50test::readTextFile(output);
        DeleteFileA(output.c_str());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
    }
    return text;
}

// The status block held open by the test, so that what a driver in another
// process published stays readable after that process ends.
class HeldStatusBlock {
public:
    HeldStatusBlock()
    {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(AsioStatusBlock),
                                      rk50::kStatusBlockName);
        if (mapping_)
            view_ = static_cast<AsioStatusBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (view_) {
            memset(view_, 0, sizeof *view_);
            view_->magic = rk50::kStatusBlockMagic;
        }
    }
    ~HeldStatusBlock()
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    AsioStatusBlock* operator->() const { return view_; }
    bool ok() const { return view_ != nullptr; }

private:
    HANDLE mapping_ = nullptr;
    AsioStatusBlock* view_ = nullptr;
};

}  // namespace

// The display name comes from the wave device's product name outside NT 6.x
// and from SetupAPI's friendly name on it. The driver reads the version when
// its process starts, so each case runs a host of its own (rk50host).
TEST_F(Discovery, DisplayNameRouteFollowsTheWindowsVersion)
{
    const std::string original = currentWindowsVersion();
    ASSERT_FALSE(original.empty());
    // Wine's 64-bit prefixes offer XP only as its 64-bit edition (NT 5.2).
    const bool xp = setWindowsVersion("winxp") || setWindowsVersion("winxp64");
    ASSERT_TRUE(xp) << "no XP setting";
    const std::string xpSetting = currentWindowsVersion();
    struct Case {
        const char* what;
        std::string setting;
        std::string machine;
        DWORD exitCode;  // rk50host info: 0 init succeeded, 1 it failed
        const char* input;
        const char* output;
    };
    const std::string twoHashes = "\\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&TWO&0&0000";
    const Case cases[] = {
        {"XP: product names", xpSetting, converter("6&X&0&0000", "Friendly RK50"), 0, "RK50 In", "RK50 Out"},
        {"Windows 7: friendly name", "win7", converter("6&X&0&0000", "Friendly RK50"), 0, "Friendly RK50",
         "Friendly RK50"},
        {"XP takes a two-# path by its product name", xpSetting,
         "wavein = " + twoHashes + " | Two In\nwaveout = " + twoHashes + " | Two Out\n", 0, "Two In", "Two Out"},
        {"Windows 7 skips a two-# path", "win7",
         "wavein = " + twoHashes + " | Two In\nwaveout = " + twoHashes + " | Two Out\n", 1, "", ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(setWindowsVersion(c.setting)) << c.setting;
        useMachine(&c.machine);
        HeldStatusBlock block;
        ASSERT_TRUE(block.ok());
        const std::string output = rk50test::tempFilePath("rk50host-route.txt");
        const DWORD code =
            rk50test::runProcess("\"" + rk50test::binFolder() + "rk50host.exe\" info", 60000, output);
        EXPECT_EQ(code, c.exitCode) << c.what << "\n" << rk50test::readTextFile(output);
        EXPECT_STREQ(block->inputPortNames[0], c.input) << c.what;
        EXPECT_STREQ(block->outputPortNames[0], c.output) << c.what;
        DeleteFileA(output.c_str());
    }
    EXPECT_TRUE(setWindowsVersion(original)) << "restoring " << original;
}
