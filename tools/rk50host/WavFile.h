// Reading and writing PCM WAV files: integer samples of 16, 24 or 32 bits,
// one or two channels. Samples are handled as 32-bit values with the audio in
// the upper bits, whatever the file's width. Plain stdio, no Windows call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace rk50host {

struct WavAudio {
    std::uint32_t rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<std::int32_t> samples;  // interleaved, left-justified

    std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

// The 44-byte header of a canonical PCM file holding dataBytes of samples.
void buildWavHeader(std::uint8_t (&header)[44], std::uint32_t rate, int channels, int bits,
                    std::uint32_t dataBytes);

// Parses a whole file's bytes; false with a reason for anything but integer
// PCM of 16, 24 or 32 bits in 1 or 2 channels.
bool parseWav(const std::uint8_t* bytes, std::size_t size, WavAudio& audio, const char** why);

bool readWavFile(const char* path, WavAudio& audio, const char** why);
// Writes samples (interleaved, left-justified) at the given width.
bool writeWavFile(const char* path, std::uint32_t rate, int channels, int bits,
                  const std::vector<std::int32_t>& samples);

}  // namespace rk50host
