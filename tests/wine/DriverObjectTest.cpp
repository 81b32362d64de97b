// The driver object as a host meets it: found through the registry, created
// with CoCreateInstance asking for the class id, used only through IASIO.
#include "TestSupport.h"

#include "asio_driver/AsioInterface.h"
#include "shared/RK50Constants.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using rk50test::asioErrorName;

namespace {

void setDriverProfile(int rate, int preferred, int useFixed, int bits)
{
    const struct {
        const char* key;
        int value;
    } rows[] = {{"SampleRate", rate}, {"PrfBufSize", preferred}, {"UsePrfBufSize", useFixed},
                {"BitPerSample", bits}};
    for (const auto& row : rows)
        WriteProfileStringA("VarnelRK50AsioDrv", row.key, std::to_string(row.value).c_str());
}

// The status block as the control panel holds it, opened before the driver.
class PanelSideBlock {
public:
    explicit PanelSideBlock(std::uint32_t magic = rk50::kStatusBlockMagic)
    {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(AsioStatusBlock), rk50::kStatusBlockName);
        view_ = mapping_ ? static_cast<AsioStatusBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0))
                         : nullptr;
        if (view_) {
            memset(view_, 0, sizeof *view_);
            view_->magic = magic;
        }
    }
    // Opens the block the driver created, keeping it alive past the driver.
    static PanelSideBlock openExisting()
    {
        PanelSideBlock block(nullptr);
        block.mapping_ = OpenFileMappingA(FILE_MAP_WRITE, FALSE, rk50::kStatusBlockName);
        if (block.mapping_)
            block.view_ = static_cast<AsioStatusBlock*>(MapViewOfFile(block.mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        return block;
    }
    PanelSideBlock(PanelSideBlock&& other) noexcept : mapping_(other.mapping_), view_(other.view_)
    {
        other.mapping_ = nullptr;
        other.view_ = nullptr;
    }
    ~PanelSideBlock()
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    AsioStatusBlock* operator->() const { return view_; }
    AsioStatusBlock* get() const { return view_; }

private:
    explicit PanelSideBlock(std::nullptr_t) {}
    HANDLE mapping_ = nullptr;
    AsioStatusBlock* view_ = nullptr;
};

bool statusBlockExists()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, rk50::kStatusBlockName);
    if (!mapping)
        return false;
    CloseHandle(mapping);
    return true;
}

class DriverObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        rk50test::removeDriverState();
        ASSERT_TRUE(rk50test::registerDriver());
        ASSERT_FALSE(statusBlockExists()) << "a status block left over from another test";
        CoInitialize(nullptr);
    }
    void TearDown() override
    {
        if (driver_)
            driver_->Release();
        CoUninitialize();
        rk50test::removeDriverState();
    }

    // Creates the driver exactly as a host does.
    IASIO* create()
    {
        std::string classIdText = rk50test::readRegistryString(
            HKEY_LOCAL_MACHINE, "SOFTWARE\\ASIO\\Varnel RK50 ASIO", "CLSID");
        wchar_t wide[64] = L"";
        MultiByteToWideChar(CP_ACP, 0, classIdText.c_str(), -1, wide, 64);
        CLSID classId;
        EXPECT_EQ(CLSIDFromString(wide, &classId), S_OK) << classIdText;
        void* object = nullptr;
        EXPECT_EQ(rk50test::hresultName(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, classId, &object)), "S_OK");
        driver_ = static_cast<IASIO*>(object);
        return driver_;
    }
    void release()
    {
        if (driver_)
            EXPECT_EQ(driver_->Release(), 0u);
        driver_ = nullptr;
    }
    long preferredSize()
    {
        long minimum = 0, maximum = 0, preferred = 0, granularity = 0;
        EXPECT_EQ(driver_->getBufferSize(&minimum, &maximum, &preferred, &granularity), ASE_OK);
        EXPECT_EQ(minimum, 128);
        EXPECT_EQ(maximum, 6144);
        EXPECT_EQ(granularity, 32);
        return preferred;
    }

    IASIO* driver_ = nullptr;
};

TEST_F(DriverObject, IdentityAndInitWithoutTheConverter)
{
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    char name[32];
    memset(name, 'x', sizeof name);
    asio->getDriverName(name);
    EXPECT_STREQ(name, "Varnel RK50 ASIO");
    EXPECT_EQ(asio->getDriverVersion(), 1);

    // Wine's only wave devices are not the converter.
    EXPECT_EQ(asio->init(nullptr), ASIOFalse);
    EXPECT_EQ(asio->init(nullptr), ASIOFalse) << "a failed init searches again and fails again";
    char message[128] = "";
    asio->getErrorMessage(message);
    EXPECT_STREQ(message, "ASIO Driver open failure!");

    long inputs = -1, outputs = -1;
    EXPECT_EQ(asio->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 0);
    EXPECT_EQ(outputs, 0);
    long inputLatency = 0, outputLatency = 0;
    EXPECT_EQ(asio->getLatencies(&inputLatency, &outputLatency), ASE_OK);
    EXPECT_EQ(inputLatency, 6144);
    EXPECT_EQ(outputLatency, 12288);

    for (long isInput : {ASIOTrue, ASIOFalse}) {
        for (long channel : {-1L, 0L, 1L, 2L}) {
            ASIOChannelInfo info = {};
            info.channel = channel;
            info.isInput = isInput;
            EXPECT_EQ(asioErrorName(asio->getChannelInfo(&info)), "ASE_InvalidParameter")
                << "channel " << channel << (isInput ? " in" : " out") << " with no channels";
        }
    }
    EXPECT_EQ(asioErrorName(asio->outputReady()), "ASE_NotPresent");
}

TEST_F(DriverObject, SampleRates)
{
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    struct Case {
        double rate;
        long expected;
    };
    const Case cases[] = {
        {8000, ASE_OK},     {11025, ASE_OK},    {16000, ASE_OK},     {22050, ASE_OK},
        {32000, ASE_OK},    {44100, ASE_OK},    {48000, ASE_OK},     {88200, ASE_OK},
        {96000, ASE_OK},    {176400, ASE_NoClock}, {192000, ASE_NoClock}, {44100.5, ASE_NoClock},
        {0, ASE_NoClock},   {-48000, ASE_NoClock},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(asioErrorName(asio->canSampleRate(c.rate)), asioErrorName(c.expected)) << c.rate;
        ASIOSampleRate before = 0;
        asio->getSampleRate(&before);
        EXPECT_EQ(asioErrorName(asio->setSampleRate(c.rate)), asioErrorName(c.expected)) << c.rate;
        ASIOSampleRate after = 0;
        EXPECT_EQ(asio->getSampleRate(&after), ASE_OK);
        EXPECT_EQ(after, c.expected == ASE_OK ? c.rate : before) << c.rate;
    }
}

TEST_F(DriverObject, ClockSourcesAndFutureSelectors)
{
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    ASIOClockSource clocks[2];
    memset(clocks, 0x55, sizeof clocks);
    long count = 2;
    EXPECT_EQ(asio->getClockSources(clocks, &count), ASE_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(clocks[0].index, 0);
    EXPECT_EQ(clocks[0].associatedChannel, -1);
    EXPECT_EQ(clocks[0].associatedGroup, -1);
    EXPECT_EQ(clocks[0].isCurrentSource, ASIOTrue);
    EXPECT_STREQ(clocks[0].name, "Internal");

    const long clockCases[][2] = {{0, ASE_OK}, {1, ASE_NotPresent}, {-1, ASE_NotPresent}};
    for (const auto& c : clockCases)
        EXPECT_EQ(asioErrorName(asio->setClockSource(c[0])), asioErrorName(c[1])) << c[0];

    const long futureCases[][2] = {
        {kAsioEnableTimeCodeRead, ASE_SUCCESS}, {kAsioDisableTimeCodeRead, ASE_SUCCESS},
        {kAsioSetInputMonitor, ASE_SUCCESS},    {kAsioTransport, ASE_NotPresent},
        {kAsioSetInputGain, ASE_NotPresent},    {kAsioGetInputMeter, ASE_NotPresent},
        {kAsioSetOutputGain, ASE_NotPresent},   {kAsioGetOutputMeter, ASE_NotPresent},
        {kAsioCanInputMonitor, ASE_SUCCESS},    {kAsioCanTimeInfo, ASE_SUCCESS},
        {kAsioCanTimeCode, ASE_SUCCESS},        {0, ASE_NotPresent},
        {12, ASE_NotPresent},                   {0x23111961, ASE_NotPresent},
    };
    for (const auto& c : futureCases)
        EXPECT_EQ(asioErrorName(asio->future(c[0], nullptr)), asioErrorName(c[1])) << "selector " << c[0];

    ASIOSamples position = {7, 7};
    ASIOTimeStamp stamp = {7, 7};
    EXPECT_EQ(asio->getSamplePosition(&position, &stamp), ASE_OK);
    EXPECT_EQ(position.hi, 0u);
    EXPECT_EQ(position.lo, 0u);
    EXPECT_EQ(stamp.hi, 0u);
    EXPECT_EQ(stamp.lo, 0u);
}

TEST_F(DriverObject, NullResultPointersAreRefused)
{
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    long value = 0;
    ASIOSampleRate rate = 0;
    ASIOSamples samples;
    ASIOTimeStamp stamp;
    const struct {
        const char* call;
        long result;
    } cases[] = {
        {"getChannels(null, p)", asio->getChannels(nullptr, &value)},
        {"getChannels(p, null)", asio->getChannels(&value, nullptr)},
        {"getLatencies(null, p)", asio->getLatencies(nullptr, &value)},
        {"getBufferSize(.., null)", asio->getBufferSize(&value, &value, &value, nullptr)},
        {"getBufferSize(null, ..)", asio->getBufferSize(nullptr, &value, &value, &value)},
        {"getSampleRate(null)", asio->getSampleRate(nullptr)},
        {"getClockSources(null, p)", asio->getClockSources(nullptr, &value)},
        {"getSamplePosition(null, p)", asio->getSamplePosition(nullptr, &stamp)},
        {"getSamplePosition(p, null)", asio->getSamplePosition(&samples, nullptr)},
        {"getChannelInfo(null)", asio->getChannelInfo(nullptr)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(asioErrorName(c.result), "ASE_InvalidParameter") << c.call;
    (void)rate;
    // Void operations must simply not write through null.
    asio->getDriverName(nullptr);
    asio->getErrorMessage(nullptr);
}

TEST_F(DriverObject, CreatesTheStatusBlockFromItsProfile)
{
    setDriverProfile(48000, 512, 1, 24);
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    PanelSideBlock block = PanelSideBlock::openExisting();
    ASSERT_NE(block.get(), nullptr) << "the driver creates the block";
    EXPECT_EQ(block->magic, rk50::kStatusBlockMagic);
    EXPECT_EQ(block->driverLoaded, 1);
    EXPECT_EQ(block->sampleRate, 48000);
    EXPECT_EQ(block->bitsPerSample, 24);
    EXPECT_EQ(block->minBufferSize, 128);
    EXPECT_EQ(block->maxBufferSize, 6144);
    EXPECT_EQ(block->preferredBufferSize, 512);
    EXPECT_EQ(block->bufferGranularity, 32);
    EXPECT_EQ(block->cfgSampleRate, 48000);
    EXPECT_EQ(block->cfgBitsPerSample, 24);
    EXPECT_EQ(block->cfgBufferSize, 512);
    EXPECT_EQ(block->cfgUseFixedBufferSize, 1);
    EXPECT_EQ(block->streaming, 0);
    EXPECT_EQ(block->bufferSize, 0);

    ASIOSampleRate rate = 0;
    asio->getSampleRate(&rate);
    EXPECT_EQ(rate, 48000);
    EXPECT_EQ(preferredSize(), 512);

    release();
    EXPECT_EQ(block->driverLoaded, 0) << "cleared when the driver goes";
}

TEST_F(DriverObject, TakesThePanelsSettingsWhenThePanelCreatedTheBlock)
{
    // Automatic sizes at 44100 Hz: 2205 on Windows 7 (this prefix), 1102 on XP.
    const long automatic = 44100 / 20;
    struct Case {
        int useFixed;
        int size;
        long preferred;
    };
    const Case cases[] = {
        {1, 1000, 992}, {1, 128, 128}, {1, 6144, 6144}, {1, 6143, 6112},
        {1, 100, automatic}, {1, 7000, automatic}, {0, 1000, automatic},
    };
    for (const Case& c : cases) {
        setDriverProfile(96000, 256, 1, 16);
        PanelSideBlock block;
        ASSERT_NE(block.get(), nullptr);
        block->cfgBitsPerSample = 24;
        block->cfgBufferSize = c.size;
        block->cfgUseFixedBufferSize = c.useFixed;
        IASIO* asio = create();
        ASSERT_NE(asio, nullptr);

        ASIOSampleRate rate = 0;
        asio->getSampleRate(&rate);
        EXPECT_EQ(rate, 44100) << "a panel-made block carries no rate, whatever the profile says";
        EXPECT_EQ(block->bitsPerSample, 24);
        EXPECT_EQ(preferredSize(), c.preferred) << "fixed " << c.useFixed << " size " << c.size;
        EXPECT_EQ(block->preferredBufferSize, c.preferred) << "size " << c.size;
        EXPECT_EQ(block->cfgSampleRate, 0) << "the driver does not write the settings";
        EXPECT_EQ(block->cfgBufferSize, c.size);
        EXPECT_EQ(block->driverLoaded, 1);
        release();
    }
}

TEST_F(DriverObject, FollowsThePanelBetweenFixedAndAutomaticSizes)
{
    PanelSideBlock block;
    ASSERT_NE(block.get(), nullptr);
    block->cfgUseFixedBufferSize = 1;
    block->cfgBufferSize = 1000;
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    EXPECT_EQ(preferredSize(), 992);
    block->cfgUseFixedBufferSize = 0;
    EXPECT_EQ(preferredSize(), 44100 / 20) << "automatic again once the panel says so";
    block->cfgUseFixedBufferSize = 1;
    block->cfgBufferSize = 2048;
    EXPECT_EQ(preferredSize(), 2048);
    EXPECT_EQ(asio->setSampleRate(48000), ASE_OK);
    EXPECT_EQ(preferredSize(), 2048) << "a fixed size does not follow the rate";
    block->cfgUseFixedBufferSize = 0;
    EXPECT_EQ(preferredSize(), 48000 / 20);
}

TEST_F(DriverObject, ForeignBlockIsLeftAlone)
{
    setDriverProfile(48000, 256, 1, 16);
    PanelSideBlock block(0x12345678);
    ASSERT_NE(block.get(), nullptr);
    rk50test::PanelWindowStub panel;
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    EXPECT_EQ(preferredSize(), 256) << "the profile's fixed size";
    EXPECT_EQ(asio->setSampleRate(44100), ASE_OK);
    release();
    EXPECT_EQ(block->driverLoaded, 0);
    EXPECT_EQ(block->sampleRate, 0);
    EXPECT_EQ(block->preferredBufferSize, 0);
    // Only the commands that need no block reach the panel.
    const std::vector<unsigned> expected = {ASIOWM_SMPLRATECHANGE, ASIOWM_STOP, ASIOWM_STOP, ASIOWM_BUFDISPOSE};
    EXPECT_EQ(panel.commands(), expected);
}

TEST_F(DriverObject, PanelReceivesCommandsInOrder)
{
    rk50test::PanelWindowStub panel;
    ASSERT_NE(panel.window(), nullptr);
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    asio->init(nullptr);  // fails here, so no ASIOWM_INIT
    preferredSize();
    EXPECT_EQ(asio->setSampleRate(48000), ASE_OK);
    EXPECT_EQ(asio->setSampleRate(48000), ASE_OK) << "unchanged, still announced";
    EXPECT_EQ(asio->setSampleRate(176400), ASE_NoClock);
    release();
    // Destruction stops, then disposes (which stops again), then unloads.
    const std::vector<unsigned> expected = {ASIOWM_DRVLOAD, ASIOWM_GETBUFSIZE, ASIOWM_SMPLRATECHANGE,
                                            ASIOWM_SMPLRATECHANGE, ASIOWM_STOP, ASIOWM_STOP,
                                            ASIOWM_BUFDISPOSE, ASIOWM_DRVUNLOAD};
    EXPECT_EQ(panel.commands(), expected);
}

TEST_F(DriverObject, PanelInThisProcessHearsAHostInAnother)
{
    rk50test::PanelWindowStub panel;
    ASSERT_NE(panel.window(), nullptr);
    const std::string output = rk50test::tempFilePath("rk50host-info.txt");
    DWORD code = rk50test::runProcess("\"" + rk50test::binFolder() + "rk50host.exe\" info", 30000, output);
    EXPECT_EQ(code, 1u) << "init fails without the converter\n" << rk50test::readTextFile(output);
    DeleteFileA(output.c_str());
    const std::vector<unsigned> expected = {ASIOWM_DRVLOAD, ASIOWM_GETBUFSIZE, ASIOWM_STOP, ASIOWM_STOP,
                                            ASIOWM_BUFDISPOSE, ASIOWM_DRVUNLOAD};
    EXPECT_EQ(panel.commands(), expected);
}

TEST_F(DriverObject, SettingsSurviveThroughTheProfile)
{
    IASIO* asio = create();
    ASSERT_NE(asio, nullptr);
    EXPECT_EQ(asio->setSampleRate(96000), ASE_OK);
    release();
    EXPECT_EQ(rk50test::readProfileString("VarnelRK50AsioDrv", "SampleRate"), "96000");
    EXPECT_EQ(rk50test::readProfileString("VarnelRK50AsioDrv", "PrfBufSize"), "4800");
    EXPECT_EQ(rk50test::readProfileString("VarnelRK50AsioDrv", "UsePrfBufSize"), "0");
    EXPECT_EQ(rk50test::readProfileString("VarnelRK50AsioDrv", "BitPerSample"), "16");

    asio = create();
    ASSERT_NE(asio, nullptr);
    ASIOSampleRate rate = 0;
    asio->getSampleRate(&rate);
    EXPECT_EQ(rate, 96000) << "the next object starts from the profile";
    EXPECT_EQ(preferredSize(), 4800);
}

// The prefix's Windows version decides the automatic size; a version is read
// when a process starts, so each case runs the project's host as a child.
TEST_F(DriverObject, AutomaticSizeFollowsTheWindowsVersion)
{
    struct Case {
        const char* version;
        const char* preferredLine;
    };
    const Case cases[] = {
#if defined(_WIN64)
        {"winxp64", "preferred 1102,"},  // a 64-bit prefix knows only the 64-bit XP
#else
        {"winxp", "preferred 1102,"},
#endif
        {"win2003", "preferred 1102,"},
        {"vista", "preferred 2205,"},
        {"win7", "preferred 2205,"},
        {"win10", "preferred 2205,"},  // reports 6.2 without a manifest
    };
    const std::string output = rk50test::tempFilePath("rk50host-version.txt");
    for (const Case& c : cases) {
        ASSERT_EQ(rk50test::runProcess(std::string("winecfg.exe /v ") + c.version), 0u) << c.version;
        rk50test::runProcess("\"" + rk50test::binFolder() + "rk50host.exe\" info", 30000, output);
        std::string report = rk50test::readTextFile(output);
        EXPECT_NE(report.find(c.preferredLine), std::string::npos) << c.version << ":\n" << report;
    }
    rk50test::runProcess("winecfg.exe /v win7");
    DeleteFileA(output.c_str());
}

}  // namespace
