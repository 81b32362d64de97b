#include "TestHost.h"

#include "asio_driver/DriverClsid.h"
#include "tests/wine/TestSupport.h"

#include <cstdio>
#include <cstring>

namespace rk50test {

namespace {

constexpr char kConfigVariable[] = "RK50SIM_CONFIG";

TestHost* activeHost = nullptr;
IASIO* activeDriver = nullptr;

void record(long half, ASIOTime* time)
{
    TestHost* host = activeHost;
    if (!host)
        return;
    const int number = host->switches.load() + 1;
    SwitchRecord entry = {};
    entry.half = half;
    entry.timeInfo = time != nullptr;
    if (time) {
        entry.flags = time->timeInfo.flags;
        entry.timeCodeLo = time->timeCode.timeCodeSamples.lo;
    }
    ASIOSamples position = {};
    ASIOTimeStamp stamp = {};
    if (activeDriver && activeDriver->getSamplePosition(&position, &stamp) == ASE_OK) {
        entry.positionLo = position.lo;
        entry.positionHi = position.hi;
    }
    if (host->onSwitch)
        host->onSwitch(half, number);
    {
        std::lock_guard<std::mutex> guard(host->lock);
        host->records.push_back(entry);
    }
    host->switches.store(number);
}

void __cdecl bufferSwitch(long half, ASIOBool)
{
    record(half, nullptr);
}

ASIOTime* __cdecl bufferSwitchTimeInfo(ASIOTime* time, long half, ASIOBool)
{
    record(half, time);
    return time;
}

void __cdecl sampleRateDidChange(ASIOSampleRate)
{
    if (activeHost)
        ++activeHost->rateChanges;
}

long __cdecl asioMessage(long selector, long, void*, double*)
{
    TestHost* host = activeHost;
    if (!host)
        return 0;
    switch (selector) {
    case kAsioSupportsTimeInfo:
        return host->answerTimeInfo ? 1 : 0;
    case kAsioResetRequest:
        ++host->resetRequests;
        return 1;
    default:
        return 0;
    }
}

}  // namespace

void SimDriverTest::SetUp()
{
    removeDriverState();
    CoInitialize(nullptr);
    const std::string path = binFolder() + "sim\\VarnelRK50ASIO.dll";
    module_ = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(module_, nullptr) << path << " error " << GetLastError();
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(hresultName(registerServer()), "S_OK");
    configPath_ = tempFilePath(("rk50sim_streaming_" + std::to_string(GetCurrentProcessId()) + ".cfg").c_str());
    callbacks_.bufferSwitch = bufferSwitch;
    callbacks_.sampleRateDidChange = sampleRateDidChange;
    callbacks_.asioMessage = asioMessage;
    callbacks_.bufferSwitchTimeInfo = bufferSwitchTimeInfo;
    activeHost = &host_;
}

void SimDriverTest::TearDown()
{
    release();
    activeHost = nullptr;
    SetEnvironmentVariableA(kConfigVariable, nullptr);
    DeleteFileA(configPath_.c_str());
    if (module_)
        FreeLibrary(module_);
    CoUninitialize();
    removeDriverState();
}

void SimDriverTest::useMachine(const std::string* text)
{
    ASSERT_TRUE(rk50test::useSimulatedMachine(configPath_, text)) << configPath_;
}

void SimDriverTest::setProfileBits(int bits)
{
    WriteProfileStringA("VarnelRK50AsioDrv", "BitPerSample", std::to_string(bits).c_str());
}

void SimDriverTest::create()
{
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(rk50::CLSID_VarnelRK50ASIO, nullptr, CLSCTX_INPROC_SERVER,
                                  rk50::CLSID_VarnelRK50ASIO, &object);
    ASSERT_EQ(hresultName(hr), "S_OK");
    asio_ = static_cast<IASIO*>(object);
    activeDriver = asio_;
}

void SimDriverTest::initDriver()
{
    create();
    ASSERT_NE(asio_, nullptr);
    char message[128] = "";
    const ASIOBool ok = asio_->init(nullptr);
    asio_->getErrorMessage(message);
    ASSERT_EQ(ok, ASIOTrue) << message;
}

void SimDriverTest::release()
{
    if (asio_) {
        // The host's order: stop, dispose, release.
        asio_->stop();
        asio_->disposeBuffers();
        asio_->Release();
    }
    asio_ = nullptr;
    activeDriver = nullptr;
}

ASIOError SimDriverTest::createBuffers(const std::vector<long>& inputs, const std::vector<long>& outputs, long frames)
{
    infos_.clear();
    for (long channel : inputs)
        infos_.push_back(ASIOBufferInfo{ASIOTrue, channel, {nullptr, nullptr}});
    for (long channel : outputs)
        infos_.push_back(ASIOBufferInfo{ASIOFalse, channel, {nullptr, nullptr}});
    return asio_->createBuffers(infos_.empty() ? nullptr : infos_.data(), static_cast<long>(infos_.size()), frames,
                                &callbacks_);
}

bool SimDriverTest::waitForSwitches(int count, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (host_.switches.load() < count) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(5);
    }
    return true;
}

RingView::RingView(const char* name)
{
    mapping_ = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (mapping_)
        view_ = static_cast<volatile LONG*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
}

RingView::~RingView()
{
    if (view_)
        UnmapViewOfFile(const_cast<LONG*>(view_));
    if (mapping_)
        CloseHandle(mapping_);
}

bool RingView::allSilent() const
{
    const volatile BYTE* bytes = slot(0);
    for (int i = 0; i < 8 * 49152; ++i) {
        if (bytes[i])
            return false;
    }
    return true;
}

StatusView::StatusView()
{
    mapping_ = OpenFileMappingA(FILE_MAP_WRITE, FALSE, rk50::kStatusBlockName);
    if (mapping_)
        view_ = static_cast<AsioStatusBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
}

StatusView::~StatusView()
{
    if (view_)
        UnmapViewOfFile(view_);
    if (mapping_)
        CloseHandle(mapping_);
}

}  // namespace rk50test
