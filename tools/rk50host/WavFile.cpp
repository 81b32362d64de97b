#include "WavFile.h"

#include <cstring>

namespace rk50host {

namespace {

void put16(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value)
{
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

std::uint32_t get16(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8;
}

std::uint32_t get32(const std::uint8_t* at)
{
    return get16(at) | get16(at + 2) << 16;
}

}  // namespace

void buildWavHeader(std::uint8_t (&header)[44], std::uint32_t rate, int channels, int bits,
                    std::uint32_t dataBytes)
{
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels * (bits / 8));
    memcpy(header, "RIFF", 4);
    put32(header + 4, 36 + dataBytes);
    memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, 1);  // PCM
    put16(header + 22, static_cast<std::uint32_t>(channels));
    put32(header + 24, rate);
    put32(header + 28, rate * blockAlign);
    put16(header + 32, blockAlign);
    put16(header + 34, static_cast<std::uint32_t>(bits));
    memcpy(header + 36, "data", 4);
    put32(header + 40, dataBytes);
}

bool parseWav(const std::uint8_t* bytes, std::size_t size, WavAudio& audio, const char** why)
{
    const char* ignored = nullptr;
    const char*& reason = why ? *why : ignored;
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) {
        reason = "not a RIFF WAVE file";
        return false;
    }
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= size) {
        const std::uint32_t chunkSize = get32(bytes + at + 4);
        const std::uint8_t* body = bytes + at + 8;
        const std::size_t room = size - (at + 8);
        if (memcmp(bytes + at, "fmt ", 4) == 0) {
            if (chunkSize < 16 || chunkSize > room) {
                reason = "short format chunk";
                return false;
            }
            const std::uint32_t tag = get16(body);
            audio.channels = static_cast<int>(get16(body + 2));
            audio.rate = get32(body + 4);
            audio.bits = static_cast<int>(get16(body + 14));
            // WAVE_FORMAT_EXTENSIBLE carries PCM as its subformat.
            const bool extensiblePcm = tag == 0xFFFE && chunkSize >= 40 && get16(body + 24) == 1;
            if ((tag != 1 && !extensiblePcm) || (audio.channels != 1 && audio.channels != 2) ||
                (audio.bits != 16 && audio.bits != 24 && audio.bits != 32) ||
                get16(body + 12) != static_cast<std::uint32_t>(audio.channels * audio.bits / 8) || audio.rate == 0) {
                reason = "only integer PCM of 16, 24 or 32 bits in 1 or 2 channels";
                return false;
            }
            haveFormat = true;
        } else if (memcmp(bytes + at, "data", 4) == 0) {
            if (!haveFormat) {
                reason = "data before format";
                return false;
            }
            // A writer that died early leaves the size too big: take what is there.
            const std::size_t dataBytes = chunkSize < room ? chunkSize : room;
            const int sampleBytes = audio.bits / 8;
            const std::size_t count = dataBytes / static_cast<std::size_t>(sampleBytes);
            audio.samples.resize(count - count % static_cast<std::size_t>(audio.channels));
            for (std::size_t i = 0; i < audio.samples.size(); ++i) {
                const std::uint8_t* sample = body + i * static_cast<std::size_t>(sampleBytes);
                std::uint32_t value = 0;
                for (int b = 0; b < sampleBytes; ++b)
                    value |= static_cast<std::uint32_t>(sample[b]) << (8 * (4 - sampleBytes + b));
                audio.samples[i] = static_cast<std::int32_t>(value);
            }
            return true;
        }
        const std::size_t step = 8 + static_cast<std::size_t>(chunkSize) + (chunkSize & 1);
        if (step > size - at)
            break;
        at += step;
    }
    reason = haveFormat ? "no data chunk" : "no format chunk";
    return false;
}

bool readWavFile(const char* path, WavAudio& audio, const char** why)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        if (why)
            *why = "cannot open the file";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return parseWav(bytes.data(), bytes.size(), audio, why);
}

bool writeWavFile(const char* path, std::uint32_t rate, int channels, int bits,
                  const std::vector<std::int32_t>& samples)
{
    FILE* file = fopen(path, "wb");
    if (!file)
        return false;
    const int sampleBytes = bits / 8;
    std::uint8_t header[44];
    buildWavHeader(header, rate, channels, bits, static_cast<std::uint32_t>(samples.size() * sampleBytes));
    bool ok = fwrite(header, 1, sizeof header, file) == sizeof header;
    std::vector<std::uint8_t> data(samples.size() * static_cast<std::size_t>(sampleBytes));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::uint32_t value = static_cast<std::uint32_t>(samples[i]);
        for (int b = 0; b < sampleBytes; ++b)
            data[i * static_cast<std::size_t>(sampleBytes) + static_cast<std::size_t>(b)] =
                static_cast<std::uint8_t>(value >> (8 * (4 - sampleBytes + b)));
    }
    ok = ok && fwrite(data.data(), 1, data.size(), file) == data.size();
    return fclose(file) == 0 && ok;
}

}  // namespace rk50host
