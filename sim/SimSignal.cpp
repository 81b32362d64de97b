#include "SimSignal.h"

#include <cmath>
#include <cstring>

namespace rk50sim {

namespace {

const uint8_t kSubtypePcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                 0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

void put16(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void put32(uint8_t* out, uint32_t value)
{
    put16(out, value);
    put16(out + 2, value >> 16);
}

uint32_t get16(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8;
}

uint32_t get32(const uint8_t* in)
{
    return get16(in) | get16(in + 2) << 16;
}

bool validFormat(const PcmFormat& format)
{
    return (format.containerBits == 16 || format.containerBits == 24) &&
           (format.validBits == 16 || format.validBits == 24) && format.validBits <= format.containerBits &&
           format.rate > 0;
}

}  // namespace

uint32_t frameBytes(const PcmFormat& format)
{
    return kChannels * format.containerBits / 8u;
}

bool sameFormat(const PcmFormat& a, const PcmFormat& b)
{
    return a.rate == b.rate && a.containerBits == b.containerBits && a.validBits == b.validBits;
}

void writeSample(uint8_t* out, const PcmFormat& format, int32_t value)
{
    const uint32_t mask = format.validBits >= 32 ? 0xFFFFFFFFu : (1u << format.validBits) - 1u;
    const uint32_t container = (static_cast<uint32_t>(value) & mask) << (format.containerBits - format.validBits);
    for (unsigned byte = 0; byte < format.containerBits / 8u; ++byte)
        out[byte] = static_cast<uint8_t>(container >> (8 * byte));
}

int32_t readSample(const uint8_t* in, const PcmFormat& format)
{
    uint32_t container = 0;
    for (unsigned byte = 0; byte < format.containerBits / 8u; ++byte)
        container |= static_cast<uint32_t>(in[byte]) << (8 * byte);
    // Sign-extend from the container's top bit, then drop the padding bits.
    const unsigned shift = 32 - format.containerBits;
    const int32_t signedContainer = static_cast<int32_t>(container << shift) >> shift;
    return signedContainer >> (format.containerBits - format.validBits);
}

void fillCounting(uint8_t* out, const PcmFormat& format, uint64_t firstFrame, std::size_t frames)
{
    const uint32_t sampleBytes = format.containerBits / 8u;
    uint64_t k = 2 * firstFrame;
    for (std::size_t i = 0; i < frames * kChannels; ++i, ++k)
        writeSample(out + i * sampleBytes, format, static_cast<int32_t>(k & 0xFFFFFFu));
}

int32_t toneAmplitude(const PcmFormat& format)
{
    return ((1 << (format.validBits - 1)) - 1) / 2;
}

void fillTone(uint8_t* out, const PcmFormat& format, uint64_t firstFrame, std::size_t frames)
{
    const double pi = 3.14159265358979323846;
    const uint32_t sampleBytes = format.containerBits / 8u;
    const double amplitude = toneAmplitude(format);
    for (std::size_t i = 0; i < frames; ++i) {
        // The phase from the frame number modulo the rate keeps it exact however long the stream.
        const uint64_t n = firstFrame + i;
        const double cycles = std::fmod(static_cast<double>(n % format.rate) * kToneHz, format.rate) / format.rate;
        const int32_t value = static_cast<int32_t>(std::lround(amplitude * std::sin(2 * pi * cycles)));
        writeSample(out + (2 * i) * sampleBytes, format, value);
        writeSample(out + (2 * i + 1) * sampleBytes, format, value);
    }
}

void buildWavHeader(const PcmFormat& format, uint32_t dataBytes, uint8_t (&out)[kWavHeaderBytes])
{
    memset(out, 0, sizeof out);
    const uint32_t blockAlign = frameBytes(format);
    memcpy(out, "RIFF", 4);
    put32(out + 4, static_cast<uint32_t>(kWavHeaderBytes - 8) + dataBytes);
    memcpy(out + 8, "WAVEfmt ", 8);
    put32(out + 16, 40);
    put16(out + 20, 0xFFFE);  // WAVE_FORMAT_EXTENSIBLE
    put16(out + 22, kChannels);
    put32(out + 24, format.rate);
    put32(out + 28, format.rate * blockAlign);
    put16(out + 32, blockAlign);
    put16(out + 34, format.containerBits);
    put16(out + 36, 22);
    put16(out + 38, format.validBits);
    put32(out + 40, 3);  // front left and right
    memcpy(out + 44, kSubtypePcm, sizeof kSubtypePcm);
    memcpy(out + 60, "data", 4);
    put32(out + 64, dataBytes);
}

bool readWavHeader(const uint8_t* bytes, std::size_t length, PcmFormat& format, uint32_t& dataBytes)
{
    if (length < kWavHeaderBytes || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVEfmt ", 8) != 0 ||
        get32(bytes + 16) != 40 || get16(bytes + 20) != 0xFFFE || get16(bytes + 22) != kChannels ||
        get16(bytes + 36) != 22 || get32(bytes + 40) != 3 || memcmp(bytes + 44, kSubtypePcm, 16) != 0 ||
        memcmp(bytes + 60, "data", 4) != 0)
        return false;
    PcmFormat read;
    read.rate = get32(bytes + 24);
    read.containerBits = static_cast<uint16_t>(get16(bytes + 34));
    read.validBits = static_cast<uint16_t>(get16(bytes + 38));
    if (!validFormat(read) || get16(bytes + 32) != frameBytes(read) ||
        get32(bytes + 28) != read.rate * frameBytes(read))
        return false;
    const uint32_t data = get32(bytes + 64);
    if (get32(bytes + 4) != static_cast<uint32_t>(kWavHeaderBytes - 8) + data)
        return false;
    format = read;
    dataBytes = data;
    return true;
}

uint32_t crc32(const uint8_t* bytes, std::size_t length, uint32_t previous)
{
    static const auto table = [] {
        struct Table {
            uint32_t entries[256];
        } t = {};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t.entries[i] = c;
        }
        return t;
    }();
    uint32_t crc = ~previous;
    for (std::size_t i = 0; i < length; ++i)
        crc = table.entries[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

Peaks peaks(const uint8_t* frames, const PcmFormat& format, std::size_t count)
{
    Peaks result;
    const uint32_t sampleBytes = format.containerBits / 8u;
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t left = readSample(frames + (2 * i) * sampleBytes, format);
        const int32_t right = readSample(frames + (2 * i + 1) * sampleBytes, format);
        const uint32_t l = static_cast<uint32_t>(left < 0 ? -static_cast<int64_t>(left) : left);
        const uint32_t r = static_cast<uint32_t>(right < 0 ? -static_cast<int64_t>(right) : right);
        if (l > result.left)
            result.left = l;
        if (r > result.right)
            result.right = r;
    }
    return result;
}

}  // namespace rk50sim
