// Moving one channel of a block between the device's interleaved stereo frames
// and the host's mono buffer. The device carries 16-bit samples (2 bytes) or
// 24-bit samples (3 bytes), left then right; the host takes 16-bit, packed
// 24-bit or 32-bit samples, all little-endian. 32-bit host samples travel as
// their upper 3 bytes. No Windows call, so it is tested and measured natively.
#pragma once

#include <cstdint>

namespace rk50 {

// Bytes of one device sample for a host width: 2 at 16 bits, 3 otherwise.
inline int deviceSampleBytes(int sampleBits)
{
    return sampleBits == 16 ? 2 : 3;
}

// Bytes of one host sample; 0 for a width the driver does not offer.
inline int hostSampleBytes(int sampleBits)
{
    return sampleBits == 16 || sampleBits == 24 || sampleBits == 32 ? sampleBits / 8 : 0;
}

// source points at the channel's first sample in the device frames; frames
// samples are read from it, one frame apart, into the host buffer. A width
// other than 16, 24 or 32 copies nothing.
void copyDeviceToHost(const std::uint8_t* source, std::uint8_t* destination, int frames, int sampleBits);

// The other way: destination points at the channel's first sample in the
// device frames.
void copyHostToDevice(const std::uint8_t* source, std::uint8_t* destination, int frames, int sampleBits);

}  // namespace rk50
