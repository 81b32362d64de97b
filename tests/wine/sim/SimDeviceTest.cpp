// The simulated converter as a host sees it through the wave API: what its
// inputs record (counting pattern, tone, loop-back), what it keeps of what it
// plays, unplugging and replugging, its counters, fault injection, and being
// driven from another process by rk50simctl.
//
// The machine: a sound card (device 0 each way) and the converter (device 1,
// its input path in lower case, since the match ignores case).
#include "sim/rk50sim.h"
#include "tests/wine/TestSupport.h"

#include <windows.h>
#include <mmddk.h>
#include <mmreg.h>
#include <mmsystem.h>

#include "tests/wine/WaveTestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace {

using rk50test::deviceFormat;
using rk50test::mmName;

constexpr char kConfigVariable[] = "RK50SIM_CONFIG";
constexpr UINT kCard = 0;
constexpr UINT kConverter = 1;

const char kMachine[] =
    "waveout = \\\\?\\HDAUDIO#FUNC_01&VEN_10EC#4&2A1B&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\eRender"
    " | Speakers\n"
    "wavein = \\\\?\\HDAUDIO#FUNC_01&VEN_10EC#4&2A1B&0&0001#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\eCapture"
    " | Line In\n"
    "waveout = \\\\?\\USB#VID_3A5C&PID_0050&MI_00#6&AAA&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\GLOBAL"
    " | RK50 Out\n"
    "wavein = \\\\?\\usb#vid_3a5c&pid_0050&mi_00#6&aaa&0&0000#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global"
    " | RK50 In\n";

// One sample as the device carries it: valid bits at the top of the container.
void putSample(BYTE* out, WORD container, WORD valid, long value)
{
    const unsigned long bits = (static_cast<unsigned long>(value) & ((1ul << valid) - 1)) << (container - valid);
    for (int byte = 0; byte < container / 8; ++byte)
        out[byte] = static_cast<BYTE>(bits >> (8 * byte));
}

long getSample(const BYTE* in, WORD container, WORD valid)
{
    unsigned long bits = 0;
    for (int byte = 0; byte < container / 8; ++byte)
        bits |= static_cast<unsigned long>(in[byte]) << (8 * byte);
    long value = static_cast<long>(bits >> (container - valid));
    if (value & (1l << (valid - 1)))
        value -= 1l << valid;
    return value;
}

// Bit by bit, unlike the simulator's table.
unsigned long referenceCrc32(const BYTE* data, size_t length)
{
    unsigned long crc = 0xFFFFFFFFul;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
    }
    return ~crc & 0xFFFFFFFFul;
}

// A wave port with its buffers and what its callback handed back.
class Port {
public:
    Port(bool output, UINT id, const WAVEFORMATEXTENSIBLE& format) : output_(output), id_(id), format_(format)
    {
        arrived_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    ~Port()
    {
        if (handle_) {
            reset();
            for (WAVEHDR& header : headers_)
                unprepare(header);
            close();
        }
        CloseHandle(arrived_);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    MMRESULT open()
    {
        const DWORD_PTR callback = reinterpret_cast<DWORD_PTR>(&Port::onMessage);
        const DWORD_PTR self = reinterpret_cast<DWORD_PTR>(this);
        HANDLE handle = nullptr;
        const MMRESULT result =
            output_ ? waveOutOpen(reinterpret_cast<HWAVEOUT*>(&handle), id_, &format_.Format, callback, self,
                                  CALLBACK_FUNCTION)
                    : waveInOpen(reinterpret_cast<HWAVEIN*>(&handle), id_, &format_.Format, callback, self,
                                 CALLBACK_FUNCTION);
        if (result == MMSYSERR_NOERROR)
            handle_ = handle;
        return result;
    }
    // Buffers of frames each; output ones filled by fill(frameIndex, channel).
    void makeBuffers(int count, DWORD frames, long (*fill)(DWORD, int) = nullptr)
    {
        const WORD align = format_.Format.nBlockAlign;
        data_.assign(static_cast<size_t>(count) * frames * align, 0);
        headers_.assign(count, WAVEHDR{});
        for (int i = 0; i < count; ++i) {
            headers_[i].lpData = reinterpret_cast<LPSTR>(data_.data() + static_cast<size_t>(i) * frames * align);
            headers_[i].dwBufferLength = frames * align;
        }
        if (fill) {
            const WORD container = format_.Format.wBitsPerSample;
            const WORD valid = format_.Samples.wValidBitsPerSample;
            for (DWORD frame = 0; frame < count * frames; ++frame)
                for (int channel = 0; channel < 2; ++channel)
                    putSample(&data_[(2 * frame + channel) * (container / 8)], container, valid, fill(frame, channel));
        }
    }
    MMRESULT prepare(WAVEHDR& header)
    {
        return output_ ? waveOutPrepareHeader(out(), &header, sizeof header)
                       : waveInPrepareHeader(in(), &header, sizeof header);
    }
    MMRESULT unprepare(WAVEHDR& header)
    {
        return output_ ? waveOutUnprepareHeader(out(), &header, sizeof header)
                       : waveInUnprepareHeader(in(), &header, sizeof header);
    }
    MMRESULT queue(WAVEHDR& header)
    {
        return output_ ? waveOutWrite(out(), &header, sizeof header) : waveInAddBuffer(in(), &header, sizeof header);
    }
    // Prepares and queues every buffer; false at the first failure.
    bool queueAll()
    {
        for (WAVEHDR& header : headers_) {
            if (prepare(header) != MMSYSERR_NOERROR || queue(header) != MMSYSERR_NOERROR)
                return false;
        }
        return true;
    }
    MMRESULT start() { return output_ ? MMSYSERR_NOERROR : waveInStart(in()); }
    MMRESULT reset() { return output_ ? waveOutReset(out()) : waveInReset(in()); }
    MMRESULT close()
    {
        const MMRESULT result = output_ ? waveOutClose(out()) : waveInClose(in());
        if (result == MMSYSERR_NOERROR)
            handle_ = nullptr;
        return result;
    }
    // Resets, unprepares and closes; the first failure's name, or empty.
    std::string cleanUp()
    {
        MMRESULT result = reset();
        for (WAVEHDR& header : headers_) {
            if (result == MMSYSERR_NOERROR)
                result = unprepare(header);
        }
        if (result == MMSYSERR_NOERROR)
            result = close();
        return result == MMSYSERR_NOERROR ? std::string() : mmName(result);
    }

    size_t done()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return done_.size();
    }
    bool waitDone(size_t n, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        while (done() < n) {
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs)
                return false;
            WaitForSingleObject(arrived_, timeoutMs - elapsed);
        }
        return true;
    }
    LONGLONG clock()
    {
        LONGLONG frame = -1;
        EXPECT_EQ(mmName(rk50simStreamClock(handle_, &frame)), "MMSYSERR_NOERROR");
        return frame;
    }

    HANDLE handle() const { return handle_; }
    std::vector<WAVEHDR>& headers() { return headers_; }
    std::vector<BYTE>& data() { return data_; }

private:
    HWAVEOUT out() const { return static_cast<HWAVEOUT>(handle_); }
    HWAVEIN in() const { return static_cast<HWAVEIN>(handle_); }
    static void CALLBACK onMessage(HDRVR, UINT message, DWORD_PTR instance, DWORD_PTR param, DWORD_PTR)
    {
        auto* self = reinterpret_cast<Port*>(instance);
        if (message != WOM_DONE && message != WIM_DATA)
            return;
        {
            std::lock_guard<std::mutex> guard(self->lock_);
            self->done_.push_back(reinterpret_cast<WAVEHDR*>(param));
        }
        SetEvent(self->arrived_);
    }

    bool output_;
    UINT id_;
    WAVEFORMATEXTENSIBLE format_;
    HANDLE handle_ = nullptr;
    HANDLE arrived_ = nullptr;
    std::vector<BYTE> data_;
    std::vector<WAVEHDR> headers_;
    std::mutex lock_;
    std::vector<WAVEHDR*> done_;
};

// Puts the control block back to what a machine file alone would do.
void resetControl()
{
    rk50simSetPlugged(TRUE);
    rk50simSetSource(RK50SIM_SOURCE_CONFIG, 0);
    rk50simFailCall(0, MMSYSERR_NOERROR);
    rk50simSetCapture(nullptr);
    rk50simResetCounters();
}

class SimDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string tag = std::to_string(GetCurrentProcessId());
        configPath_ = rk50test::tempFilePath(("rk50sim_device_" + tag + ".cfg").c_str());
        capturePath_ = rk50test::tempFilePath(("rk50sim_capture_" + tag + ".wav").c_str());
        removeCapture();
        resetControl();
        useMachine("");
    }
    void TearDown() override
    {
        resetControl();
        SetEnvironmentVariableA(kConfigVariable, nullptr);
        DeleteFileA(configPath_.c_str());
        removeCapture();
    }
    // The test machine plus behaviour lines.
    void useMachine(const std::string& extra)
    {
        const std::string text = kMachine + extra;
        FILE* file = fopen(configPath_.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
        SetEnvironmentVariableA(kConfigVariable, configPath_.c_str());
        ASSERT_EQ(waveOutGetNumDevs(), 2u) << "the machine file was refused";
        ASSERT_EQ(waveInGetNumDevs(), 2u);
    }
    void removeCapture()
    {
        DeleteFileA(capturePath_.c_str());
        DeleteFileA((capturePath_ + ".csv").c_str());
    }

    std::string configPath_;
    std::string capturePath_;
};

// ---- recording sources

struct CountingCase {
    const char* what;
    WORD container, valid;
};

class CountingPattern : public SimDevice, public ::testing::WithParamInterface<CountingCase> {};

TEST_P(CountingPattern, EverySampleCarriesItsIndex)
{
    const CountingCase& c = GetParam();
    useMachine("source = counting\n");
    Port input(false, kConverter, deviceFormat(48000, c.container, c.valid));
    ASSERT_EQ(mmName(input.open()), "MMSYSERR_NOERROR");
    // 3 x 40000 samples: past 2^16, so the 16-bit count wraps.
    input.makeBuffers(3, 20000);
    ASSERT_TRUE(input.queueAll());
    ASSERT_EQ(mmName(input.start()), "MMSYSERR_NOERROR");
    ASSERT_TRUE(input.waitDone(3, 10000)) << "three buffers of 20000 frames recorded";

    const size_t sampleBytes = c.container / 8;
    std::vector<BYTE> expected(input.data().size());
    for (size_t k = 0; k < expected.size() / sampleBytes; ++k)
        putSample(&expected[k * sampleBytes], c.container, c.valid, static_cast<long>(k % (1ul << c.valid)));
    for (const WAVEHDR& header : input.headers())
        EXPECT_EQ(header.dwBytesRecorded, header.dwBufferLength);
    size_t firstDifference = 0;
    while (firstDifference < expected.size() && expected[firstDifference] == input.data()[firstDifference])
        ++firstDifference;
    EXPECT_EQ(firstDifference, expected.size()) << "first wrong byte (sample " << firstDifference / sampleBytes << ")";
    EXPECT_EQ(input.cleanUp(), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, CountingPattern,
                         ::testing::Values(CountingCase{"16in16", 16, 16}, CountingCase{"24in24", 24, 24},
                                           CountingCase{"16in24", 24, 16}),
                         [](const ::testing::TestParamInfo<CountingCase>& info) { return info.param.what; });

TEST_F(SimDevice, ToneIsLoudAndHasItsPeriodOnTheConverterOnly)
{
    ASSERT_TRUE(rk50simSetSource(RK50SIM_SOURCE_TONE, 0)) << "chosen at run time over the file's silence";
    const WAVEFORMATEXTENSIBLE format = deviceFormat(48000, 24, 24);
    Port converter(false, kConverter, format);
    Port card(false, kCard, format);
    const DWORD frames = 9600;  // 200 ms: 199.4 periods of 997 Hz
    for (Port* port : {&converter, &card}) {
        ASSERT_EQ(mmName(port->open()), "MMSYSERR_NOERROR");
        port->makeBuffers(1, frames);
        ASSERT_TRUE(port->queueAll());
        ASSERT_EQ(mmName(port->start()), "MMSYSERR_NOERROR");
    }
    ASSERT_TRUE(converter.waitDone(1, 5000));
    ASSERT_TRUE(card.waitDone(1, 5000));

    const BYTE* data = converter.data().data();
    long peak = 0;
    int rising = 0;
    DWORD firstRise = 0, lastRise = 0;
    long previous = 0;
    for (DWORD n = 0; n < frames; ++n) {
        const long left = getSample(data + 6 * n, 24, 24);
        const long right = getSample(data + 6 * n + 3, 24, 24);
        ASSERT_EQ(left, right) << "frame " << n << ": both channels carry the tone";
        peak = std::max(peak, std::labs(left));
        if (n > 0 && previous < 0 && left >= 0) {
            if (rising++ == 0)
                firstRise = n;
            lastRise = n;
        }
        previous = left;
    }
    const long fullScale = (1l << 23) - 1;
    EXPECT_GT(peak, fullScale * 45 / 100) << "about half of full scale";
    EXPECT_LT(peak, fullScale * 55 / 100);
    EXPECT_GE(rising, 198);
    EXPECT_LE(rising, 201);
    ASSERT_GT(rising, 1);
    const double period = static_cast<double>(lastRise - firstRise) / (rising - 1);
    EXPECT_NEAR(period, 48000.0 / 997.0, 0.05) << "frames per period";

    for (BYTE byte : card.data())
        ASSERT_EQ(byte, 0) << "the sound card's input records silence whatever the converter's source";
    EXPECT_EQ(converter.cleanUp(), "");
    EXPECT_EQ(card.cleanUp(), "");
}

// ---- loop-back

struct LoopbackCase {
    const char* what;
    const char* machine;
    LONG runTimeDelay;  // 0: the file's
    WORD outBits, inBits;
    long expectedDelay;  // -1: nothing comes back
};

class Loopback : public SimDevice, public ::testing::WithParamInterface<LoopbackCase> {};

// Frame p played: p % 20000 + 1 on the left, its negative on the right, so no
// played frame is silent and each says where it came from.
long playedSample(DWORD frame, int channel)
{
    const long value = static_cast<long>(frame % 20000) + 1;
    return channel == 0 ? value : -value;
}

TEST_P(Loopback, PlayedFramesComeBackExactlyDelayFramesLater)
{
    const LoopbackCase& c = GetParam();
    useMachine(c.machine);
    if (c.runTimeDelay) {
        ASSERT_TRUE(rk50simSetSource(RK50SIM_SOURCE_LOOPBACK, c.runTimeDelay));
    }
    Port output(true, kConverter, deviceFormat(48000, c.outBits, c.outBits));
    Port input(false, kConverter, deviceFormat(48000, c.inBits, c.inBits));
    ASSERT_EQ(mmName(output.open()), "MMSYSERR_NOERROR");
    ASSERT_EQ(mmName(input.open()), "MMSYSERR_NOERROR");
    const DWORD block = 4800;
    const DWORD playedFrames = 3 * block;
    input.makeBuffers(6, block);
    output.makeBuffers(3, block, playedSample);
    ASSERT_TRUE(input.queueAll());
    ASSERT_EQ(mmName(input.start()), "MMSYSERR_NOERROR");
    ASSERT_TRUE(output.queueAll());
    ASSERT_TRUE(output.waitDone(3, 10000));
    ASSERT_TRUE(input.waitDone(6, 10000));

    const LONGLONG inputClock = input.clock();
    const LONGLONG outputClock = output.clock();
    const size_t sampleBytes = c.inBits / 8;
    size_t wrong = 0, loud = 0;
    std::string firstWrong;
    for (DWORD j = 0; j < 6 * block; ++j) {
        const LONGLONG p = inputClock + j - c.expectedDelay - outputClock;
        for (int channel = 0; channel < 2; ++channel) {
            long expected = 0;
            if (c.expectedDelay >= 0 && p >= 0 && p < playedFrames)
                expected = playedSample(static_cast<DWORD>(p), channel);
            const long got = getSample(&input.data()[(2 * j + channel) * sampleBytes], c.inBits, c.inBits);
            loud += got != 0;
            if (got != expected && wrong++ == 0)
                firstWrong = "recorded frame " + std::to_string(j) + " channel " + std::to_string(channel) +
                             ": " + std::to_string(got) + ", expected " + std::to_string(expected);
        }
    }
    EXPECT_EQ(wrong, 0u) << firstWrong << " (input clock " << inputClock << ", output clock " << outputClock << ")";
    if (c.expectedDelay >= 0) {
        EXPECT_GT(loud, 2u * block) << "the played frames came back at all";
    }
    EXPECT_EQ(output.cleanUp(), "");
    EXPECT_EQ(input.cleanUp(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Loopback,
    ::testing::Values(LoopbackCase{"DefaultDelay", "source = loopback\n", 0, 16, 16, 1000},
                      LoopbackCase{"FileDelay24", "source = loopback\nloopback_delay = 37\n", 0, 24, 24, 37},
                      LoopbackCase{"RunTimeDelay", "", 2400, 16, 16, 2400},
                      LoopbackCase{"FormatsDiffer", "source = loopback\n", 0, 24, 16, -1}),
    [](const ::testing::TestParamInfo<LoopbackCase>& info) { return info.param.what; });

// ---- what is played is kept

// Pseudo-random 24-bit samples, so any misplaced byte shows.
long noiseSample(DWORD frame, int channel)
{
    unsigned long x = (frame * 2 + channel + 1) * 2654435761ul;
    x ^= x >> 13;
    return static_cast<long>(x & 0xFFFFFF) - 0x800000;
}

unsigned long get32(const std::string& bytes, size_t at)
{
    unsigned long value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

unsigned get16(const std::string& bytes, size_t at)
{
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// The WAV header's fields for 24-bit stereo at 44100 Hz and dataBytes of data.
void expectWavHeader(const std::string& file, unsigned long dataBytes)
{
    ASSERT_GE(file.size(), 68u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(get32(file, 4), 60 + dataBytes) << "RIFF size";
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(get32(file, 16), 40u) << "fmt chunk of WAVE_FORMAT_EXTENSIBLE";
    EXPECT_EQ(get16(file, 20), 0xFFFEu);
    EXPECT_EQ(get16(file, 22), 2u);
    EXPECT_EQ(get32(file, 24), 44100u);
    EXPECT_EQ(get32(file, 28), 44100u * 6);
    EXPECT_EQ(get16(file, 32), 6u);
    EXPECT_EQ(get16(file, 34), 24u);
    EXPECT_EQ(get16(file, 36), 22u);
    EXPECT_EQ(get16(file, 38), 24u) << "valid bits";
    EXPECT_EQ(get32(file, 40), 3u) << "channel mask";
    const unsigned char pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71};
    EXPECT_EQ(memcmp(file.data() + 44, pcm, 16), 0) << "PCM subformat";
    EXPECT_EQ(file.substr(60, 4), "data");
    EXPECT_EQ(get32(file, 64), dataBytes);
    EXPECT_EQ(file.size(), 68 + dataBytes);
}

TEST_F(SimDevice, PlayedFramesAreKeptInAWavFileAndABlockRecord)
{
    useMachine("capture_wav = " + capturePath_ + "\n");
    const WAVEFORMATEXTENSIBLE format = deviceFormat(44100, 24, 24);
    const DWORD frames = 4410;
    std::vector<BYTE> played;
    {
        Port output(true, kConverter, format);
        ASSERT_EQ(mmName(output.open()), "MMSYSERR_NOERROR");
        output.makeBuffers(3, frames, noiseSample);
        ASSERT_TRUE(output.queueAll());
        ASSERT_TRUE(output.waitDone(3, 5000));
        played = output.data();
        // Readable while the stream is still open.
        const std::string running = rk50test::readTextFile(capturePath_);
        expectWavHeader(running, static_cast<unsigned long>(played.size()));
        EXPECT_EQ(running.substr(68), std::string(played.begin(), played.end()));
        EXPECT_EQ(output.cleanUp(), "");
    }
    {
        // A second stream of the same format appends; the sound card is not kept.
        Port output(true, kConverter, format);
        Port card(true, kCard, format);
        ASSERT_EQ(mmName(output.open()), "MMSYSERR_NOERROR");
        ASSERT_EQ(mmName(card.open()), "MMSYSERR_NOERROR");
        output.makeBuffers(1, frames, [](DWORD frame, int channel) { return noiseSample(frame + 5000, channel); });
        card.makeBuffers(1, frames, noiseSample);
        ASSERT_TRUE(output.queueAll());
        ASSERT_TRUE(card.queueAll());
        ASSERT_TRUE(output.waitDone(1, 5000));
        ASSERT_TRUE(card.waitDone(1, 5000));
        played.insert(played.end(), output.data().begin(), output.data().end());
        EXPECT_EQ(output.cleanUp(), "");
        EXPECT_EQ(card.cleanUp(), "");
    }
    const std::string file = rk50test::readTextFile(capturePath_);
    expectWavHeader(file, static_cast<unsigned long>(played.size()));
    EXPECT_EQ(file.substr(68), std::string(played.begin(), played.end()));

    // One line per block: clock frame, device, rate, frames, crc32, peaks.
    const std::string log = rk50test::readTextFile(capturePath_ + ".csv");
    std::vector<std::string> lines;
    for (size_t at = 0; at < log.size();) {
        const size_t end = log.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "lines end with CR LF";
        lines.push_back(log.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 5u) << log;
    EXPECT_EQ(lines[0], "clock_frame,device,rate,frames,crc32,peak_left,peak_right");
    long long previousClock = -1;
    for (int block = 0; block < 4; ++block) {
        const BYTE* data = played.data() + block * frames * 6;
        long peakLeft = 0, peakRight = 0;
        for (DWORD n = 0; n < frames; ++n) {
            peakLeft = std::max(peakLeft, std::labs(getSample(data + 6 * n, 24, 24)));
            peakRight = std::max(peakRight, std::labs(getSample(data + 6 * n + 3, 24, 24)));
        }
        long long clock = 0;
        unsigned device = 0, rate = 0, count = 0;
        unsigned long crc = 0;
        long left = 0, right = 0;
        ASSERT_EQ(sscanf(lines[block + 1].c_str(), "%lld,%u,%u,%u,%lx,%ld,%ld", &clock, &device, &rate, &count, &crc,
                         &left, &right),
                  7)
            << lines[block + 1];
        EXPECT_EQ(device, kConverter);
        EXPECT_EQ(rate, 44100u);
        EXPECT_EQ(count, frames);
        EXPECT_EQ(crc, referenceCrc32(data, frames * 6)) << "block " << block;
        EXPECT_EQ(left, peakLeft);
        EXPECT_EQ(right, peakRight);
        // Back to back unless the machine was too slow to queue in time.
        if (block == 1 || block == 2) {
            EXPECT_GE(clock, previousClock + frames) << "blocks of one stream never overlap";
        }
        previousClock = clock;
    }
}

// ---- unplugging

TEST_F(SimDevice, UnplugSilencesTheConverterAndLeavesCleanUpWorking)
{
    const WAVEFORMATEXTENSIBLE format = deviceFormat(48000, 16, 16);
    Port output(true, kConverter, format);
    Port input(false, kConverter, format);
    for (Port* port : {&output, &input}) {
        ASSERT_EQ(mmName(port->open()), "MMSYSERR_NOERROR");
        port->makeBuffers(10, 4800);  // 100 ms each
        ASSERT_TRUE(port->queueAll());
        ASSERT_EQ(mmName(port->start()), "MMSYSERR_NOERROR");
    }
    WAVEHDR spare = {};
    std::vector<char> spareData(4800 * 4);
    spare.lpData = spareData.data();
    spare.dwBufferLength = static_cast<DWORD>(spareData.size());
    ASSERT_EQ(mmName(waveOutPrepareHeader(static_cast<HWAVEOUT>(output.handle()), &spare, sizeof spare)),
              "MMSYSERR_NOERROR");
    ASSERT_TRUE(output.waitDone(1, 5000));
    ASSERT_TRUE(input.waitDone(1, 5000));

    EXPECT_TRUE(rk50simSetPlugged(FALSE)) << "it was plugged";
    Sleep(50);  // a callback already on its way may still arrive
    const size_t outBack = output.done(), inBack = input.done();
    Sleep(500);
    EXPECT_EQ(output.done(), outBack) << "no WOM_DONE while unplugged";
    EXPECT_EQ(input.done(), inBack) << "no WIM_DATA while unplugged";
    EXPECT_LT(outBack, 10u);

    // The converter's devices are gone; the sound card stays device 0.
    EXPECT_EQ(waveOutGetNumDevs(), 1u);
    EXPECT_EQ(waveInGetNumDevs(), 1u);
    WAVEOUTCAPSA outCaps = {};
    EXPECT_EQ(mmName(waveOutGetDevCapsA(kConverter, &outCaps, sizeof outCaps)), "MMSYSERR_BADDEVICEID");
    ASSERT_EQ(mmName(waveOutGetDevCapsA(kCard, &outCaps, sizeof outCaps)), "MMSYSERR_NOERROR");
    EXPECT_STREQ(outCaps.szPname, "Speakers");
    ULONG size = 0;
    EXPECT_EQ(mmName(waveInMessage(reinterpret_cast<HWAVEIN>(static_cast<UINT_PTR>(kConverter)),
                                   DRV_QUERYDEVICEINTERFACESIZE, reinterpret_cast<DWORD_PTR>(&size), 0)),
              "MMSYSERR_BADDEVICEID");
    Port again(true, kConverter, format);
    EXPECT_EQ(mmName(again.open()), "MMSYSERR_BADDEVICEID");

    // The old handles refuse new work ...
    EXPECT_EQ(mmName(waveOutWrite(static_cast<HWAVEOUT>(output.handle()), &spare, sizeof spare)),
              "MMSYSERR_NODRIVER");
    EXPECT_EQ(spare.dwFlags & WHDR_INQUEUE, 0u);
    EXPECT_EQ(mmName(waveInStart(static_cast<HWAVEIN>(input.handle()))), "MMSYSERR_NODRIVER");
    // ... and clean up without hanging, every buffer handed back.
    EXPECT_EQ(mmName(waveInStop(static_cast<HWAVEIN>(input.handle()))), "MMSYSERR_NOERROR");
    EXPECT_EQ(mmName(waveOutUnprepareHeader(static_cast<HWAVEOUT>(output.handle()), &spare, sizeof spare)),
              "MMSYSERR_NOERROR");
    for (Port* port : {&output, &input}) {
        ASSERT_EQ(mmName(port->reset()), "MMSYSERR_NOERROR");
        for (const WAVEHDR& header : port->headers())
            EXPECT_EQ(header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
        EXPECT_EQ(port->cleanUp(), "");
    }
    EXPECT_EQ(output.done(), 10u) << "reset hands back the rest";

    // The sound card plays on.
    Port card(true, kCard, format);
    ASSERT_EQ(mmName(card.open()), "MMSYSERR_NOERROR");
    card.makeBuffers(1, 4800);
    ASSERT_TRUE(card.queueAll());
    EXPECT_TRUE(card.waitDone(1, 5000));
    EXPECT_EQ(card.cleanUp(), "");
}

TEST_F(SimDevice, HandleFromBeforeUnplugStaysDeadAfterReplug)
{
    const WAVEFORMATEXTENSIBLE format = deviceFormat(48000, 16, 16);
    RK50SIM_COUNTERS before = {};
    rk50simReadCounters(&before);
    Port old(true, kConverter, format);
    ASSERT_EQ(mmName(old.open()), "MMSYSERR_NOERROR");
    old.makeBuffers(1, 4800);
    rk50simSetPlugged(FALSE);
    EXPECT_FALSE(rk50simSetPlugged(TRUE)) << "it was unplugged";
    RK50SIM_COUNTERS after = {};
    rk50simReadCounters(&after);
    EXPECT_EQ(after.generation, before.generation + 2);
    EXPECT_EQ(after.plugged, 1);
    EXPECT_EQ(waveOutGetNumDevs(), 2u);

    EXPECT_EQ(mmName(old.prepare(old.headers()[0])), "MMSYSERR_NODRIVER");
    EXPECT_EQ(mmName(old.close()), "MMSYSERR_NOERROR");

    Port fresh(true, kConverter, format);
    ASSERT_EQ(mmName(fresh.open()), "MMSYSERR_NOERROR");
    fresh.makeBuffers(2, 4800);
    ASSERT_TRUE(fresh.queueAll());
    EXPECT_TRUE(fresh.waitDone(2, 5000)) << "a handle opened after the replug streams";
    EXPECT_EQ(fresh.cleanUp(), "");
}

// ---- counters

TEST_F(SimDevice, CountersCountTheConvertersBlocks)
{
    const WAVEFORMATEXTENSIBLE format = deviceFormat(48000, 16, 16);
    {
        Port output(true, kConverter, format), input(false, kConverter, format), card(true, kCard, format);
        for (Port* port : {&output, &input, &card})
            ASSERT_EQ(mmName(port->open()), "MMSYSERR_NOERROR");
        output.makeBuffers(3, 2400);
        input.makeBuffers(2, 2400);
        card.makeBuffers(2, 2400);
        for (Port* port : {&output, &input, &card})
            ASSERT_TRUE(port->queueAll());
        ASSERT_EQ(mmName(input.start()), "MMSYSERR_NOERROR");
        ASSERT_TRUE(output.waitDone(3, 5000));
        ASSERT_TRUE(input.waitDone(2, 5000));
        ASSERT_TRUE(card.waitDone(2, 5000));
        EXPECT_EQ(mmName(waveInStop(static_cast<HWAVEIN>(input.handle()))), "MMSYSERR_NOERROR");

        // Handed back by reset, not played.
        Port longOne(true, kConverter, format);
        ASSERT_EQ(mmName(longOne.open()), "MMSYSERR_NOERROR");
        longOne.makeBuffers(1, 48000);
        ASSERT_TRUE(longOne.queueAll());
        EXPECT_EQ(longOne.cleanUp(), "");
    }
    RK50SIM_COUNTERS counters = {};
    rk50simReadCounters(&counters);
    EXPECT_EQ(counters.blocksPlayed, 3) << "the converter's, not the sound card's";
    EXPECT_EQ(counters.blocksRecorded, 2);
    EXPECT_EQ(counters.blocksDropped, 0) << "recording stopped when the buffers ran out";
}

TEST_F(SimDevice, InputFramesWithNoBufferCountAsDroppedBlocks)
{
    Port input(false, kConverter, deviceFormat(48000, 16, 16));
    ASSERT_EQ(mmName(input.open()), "MMSYSERR_NOERROR");
    input.makeBuffers(1, 2400);  // 50 ms
    const DWORD started = GetTickCount();
    ASSERT_EQ(mmName(input.start()), "MMSYSERR_NOERROR");
    Sleep(300);
    const DWORD gapMs = GetTickCount() - started;
    ASSERT_TRUE(input.queueAll());
    const DWORD gapMaxMs = GetTickCount() - started;
    ASSERT_TRUE(input.waitDone(1, 5000));
    RK50SIM_COUNTERS counters = {};
    rk50simReadCounters(&counters);
    EXPECT_GE(counters.blocksDropped, static_cast<LONG>(gapMs / 50) - 1) << "gap of at least " << gapMs << " ms";
    EXPECT_LE(counters.blocksDropped, static_cast<LONG>(gapMaxMs / 50) + 1) << "gap of at most " << gapMaxMs << " ms";
    EXPECT_EQ(counters.blocksRecorded, 1);
    EXPECT_EQ(input.cleanUp(), "");
}

// ---- fault injection

// The calls of one stream's life, in order; each returns its result.
struct Step {
    const char* call;
    MMRESULT (*run)(Port&);
};

const Step kOutputLife[] = {
    {"waveOutOpen", [](Port& p) { return p.open(); }},
    {"waveOutPrepareHeader", [](Port& p) { return p.prepare(p.headers()[0]); }},
    {"waveOutWrite", [](Port& p) { return p.queue(p.headers()[0]); }},
    {"waveOutReset", [](Port& p) { return p.reset(); }},
    {"waveOutUnprepareHeader", [](Port& p) { return p.unprepare(p.headers()[0]); }},
    {"waveOutClose", [](Port& p) { return p.close(); }},
};

const Step kInputLife[] = {
    {"waveInOpen", [](Port& p) { return p.open(); }},
    {"waveInPrepareHeader", [](Port& p) { return p.prepare(p.headers()[0]); }},
    {"waveInAddBuffer", [](Port& p) { return p.queue(p.headers()[0]); }},
    {"waveInStart", [](Port& p) { return p.start(); }},
    {"waveInStop", [](Port& p) { return waveInStop(static_cast<HWAVEIN>(p.handle())); }},
    {"waveInReset", [](Port& p) { return p.reset(); }},
    {"waveInUnprepareHeader", [](Port& p) { return p.unprepare(p.headers()[0]); }},
    {"waveInClose", [](Port& p) { return p.close(); }},
};

struct FaultCase {
    const char* what;
    bool output;
    LONG n;
    MMRESULT result;
};

class FaultInjection : public SimDevice, public ::testing::WithParamInterface<FaultCase> {};

// The n-th call fails with the result and does nothing: calling it again
// works, and every other call is untouched. Calls that take no handle do not count.
TEST_P(FaultInjection, TheNthCallFailsOnce)
{
    const FaultCase& c = GetParam();
    const Step* steps = c.output ? kOutputLife : kInputLife;
    const size_t count = c.output ? std::size(kOutputLife) : std::size(kInputLife);
    const WAVEFORMATEXTENSIBLE format = deviceFormat(48000, 16, 16);
    {
        // Calls before the fault is asked for do not count.
        Port before(c.output, kConverter, format);
        ASSERT_EQ(mmName(before.open()), "MMSYSERR_NOERROR");
        ASSERT_EQ(mmName(before.close()), "MMSYSERR_NOERROR");
    }
    ASSERT_TRUE(rk50simFailCall(c.n, c.result));
    Port port(c.output, kConverter, format);
    port.makeBuffers(1, 480000);  // 10 s: still queued when reset comes
    for (size_t i = 0; i < count; ++i) {
        waveOutGetNumDevs();
        WAVEINCAPSA caps = {};
        waveInGetDevCapsA(kConverter, &caps, sizeof caps);
        const MMRESULT result = steps[i].run(port);
        if (static_cast<LONG>(i + 1) == c.n) {
            EXPECT_EQ(mmName(result), mmName(c.result)) << steps[i].call << " (call " << i + 1 << ")";
            EXPECT_EQ(mmName(steps[i].run(port)), "MMSYSERR_NOERROR") << steps[i].call << " again";
        } else {
            EXPECT_EQ(mmName(result), "MMSYSERR_NOERROR") << steps[i].call << " (call " << i + 1 << ")";
        }
    }
    RK50SIM_COUNTERS counters = {};
    rk50simReadCounters(&counters);
    EXPECT_EQ(counters.faultsInjected, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FaultInjection,
    ::testing::Values(FaultCase{"OutOpen", true, 1, MMSYSERR_ALLOCATED}, FaultCase{"OutPrepare", true, 2, MMSYSERR_NOMEM},
                      FaultCase{"OutWrite", true, 3, MMSYSERR_NOMEM}, FaultCase{"OutReset", true, 4, MMSYSERR_ERROR},
                      FaultCase{"OutClose", true, 6, MMSYSERR_NODRIVER},
                      FaultCase{"InOpen", false, 1, MMSYSERR_BADDEVICEID},
                      FaultCase{"InAddBuffer", false, 3, MMSYSERR_NODRIVER},
                      FaultCase{"InStart", false, 4, MMSYSERR_ERROR}, FaultCase{"InStop", false, 5, MMSYSERR_NOMEM},
                      FaultCase{"InUnprepare", false, 7, WAVERR_STILLPLAYING},
                      FaultCase{"InClose", false, 8, MMSYSERR_INVALHANDLE}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.what; });

// ---- another process drives it

DWORD simctl(const std::string& arguments, const std::string& output = std::string())
{
    return rk50test::runProcess("\"" + rk50test::binFolder() + "rk50simctl.exe\" " + arguments, 30000, output);
}

TEST_F(SimDevice, Rk50simctlDrivesTheSimulatorFromAnotherProcess)
{
    ASSERT_EQ(simctl("unplug"), 0u);
    EXPECT_EQ(waveOutGetNumDevs(), 1u) << "unplugged by rk50simctl";
    ASSERT_EQ(simctl("plug"), 0u);
    EXPECT_EQ(waveOutGetNumDevs(), 2u);

    ASSERT_EQ(simctl("source counting"), 0u);
    const WAVEFORMATEXTENSIBLE format = deviceFormat(48000, 16, 16);
    {
        Port input(false, kConverter, format);
        ASSERT_EQ(mmName(input.open()), "MMSYSERR_NOERROR");
        input.makeBuffers(1, 480);
        ASSERT_TRUE(input.queueAll());
        ASSERT_EQ(mmName(input.start()), "MMSYSERR_NOERROR");
        ASSERT_TRUE(input.waitDone(1, 5000));
        const BYTE expected[8] = {0, 0, 1, 0, 2, 0, 3, 0};
        EXPECT_EQ(memcmp(input.data().data(), expected, sizeof expected), 0) << "the counting pattern";
        EXPECT_EQ(input.cleanUp(), "");
    }

    ASSERT_EQ(simctl("capture \"" + capturePath_ + "\""), 0u);
    {
        Port output(true, kConverter, format);
        ASSERT_EQ(mmName(output.open()), "MMSYSERR_NOERROR");
        output.makeBuffers(1, 480, playedSample);
        ASSERT_TRUE(output.queueAll());
        ASSERT_TRUE(output.waitDone(1, 5000));
        EXPECT_EQ(output.cleanUp(), "");
    }
    EXPECT_EQ(rk50test::readTextFile(capturePath_).size(), 68u + 480 * 4) << "captured where rk50simctl said";

    const std::string countersFile = rk50test::tempFilePath("rk50simctl_counters.txt");
    ASSERT_EQ(simctl("counters", countersFile), 0u);
    RK50SIM_COUNTERS counters = {};
    rk50simReadCounters(&counters);
    const std::string text = rk50test::readTextFile(countersFile);
    DeleteFileA(countersFile.c_str());
    EXPECT_NE(text.find("played=" + std::to_string(counters.blocksPlayed) +
                        " recorded=" + std::to_string(counters.blocksRecorded)),
              std::string::npos)
        << text;
    EXPECT_EQ(counters.blocksPlayed, 1);

    ASSERT_EQ(simctl("fail 2 MMSYSERR_NOMEM"), 0u);
    {
        Port output(true, kConverter, format);
        ASSERT_EQ(mmName(output.open()), "MMSYSERR_NOERROR");
        output.makeBuffers(1, 480);
        EXPECT_EQ(mmName(output.prepare(output.headers()[0])), "MMSYSERR_NOMEM") << "the second call fails";
    }

    for (const char* wrong : {"", "source nonsense", "fail 1", "fail x MMSYSERR_NOMEM", "bogus"})
        EXPECT_EQ(simctl(wrong), 2u) << "rk50simctl " << wrong;
}

}  // namespace
