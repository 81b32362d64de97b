// What the simulated converter records and how it keeps what it plays, as pure
// functions over byte buffers: the counting pattern, the tone, sample access,
// the WAV header and the block checksum. No Windows call, tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk50sim {

// The converter's stream format: two channels, little-endian, the valid bits
// in the most significant bits of each container (padding bits zero).
struct PcmFormat {
    uint32_t rate = 48000;
    uint16_t containerBits = 16;  // 16 or 24
    uint16_t validBits = 16;      // 16 or 24, at most containerBits
};

constexpr unsigned kChannels = 2;
constexpr double kToneHz = 997.0;  // not a divisor of any rate: every sample value differs
constexpr std::size_t kWavHeaderBytes = 68;

uint32_t frameBytes(const PcmFormat& format);
bool sameFormat(const PcmFormat& a, const PcmFormat& b);

// One sample: value is in valid-bit units (signed); only its low validBits count.
void writeSample(uint8_t* out, const PcmFormat& format, int32_t value);
int32_t readSample(const uint8_t* in, const PcmFormat& format);

// Frames [firstFrame, firstFrame + frames) of the counting pattern: sample k
// (k = 2 * frame + channel, left first) has the value k modulo 2^validBits.
void fillCounting(uint8_t* out, const PcmFormat& format, uint64_t firstFrame, std::size_t frames);

// Frames of a kToneHz sine at half of full scale, the same on both channels;
// frame n has the value round(A * sin(2 pi kToneHz n / rate)).
void fillTone(uint8_t* out, const PcmFormat& format, uint64_t firstFrame, std::size_t frames);
int32_t toneAmplitude(const PcmFormat& format);

// RIFF/WAVE header with a WAVE_FORMAT_EXTENSIBLE fmt chunk and a data chunk of
// dataBytes, kWavHeaderBytes long.
void buildWavHeader(const PcmFormat& format, uint32_t dataBytes, uint8_t (&out)[kWavHeaderBytes]);
// Reads a header written by buildWavHeader; false for anything else.
bool readWavHeader(const uint8_t* bytes, std::size_t length, PcmFormat& format, uint32_t& dataBytes);

// CRC-32 (the zlib/PNG polynomial); pass the previous result to continue.
uint32_t crc32(const uint8_t* bytes, std::size_t length, uint32_t previous = 0);

// Largest magnitude per channel, in valid-bit units.
struct Peaks {
    uint32_t left = 0;
    uint32_t right = 0;
};
Peaks peaks(const uint8_t* frames, const PcmFormat& format, std::size_t count);

}  // namespace rk50sim
