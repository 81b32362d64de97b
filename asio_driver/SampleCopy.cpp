#include "SampleCopy.h"

namespace rk50 {

// Plain byte moves: the baseline processor is i686 without SSE2, and strided
// 2- and 3-byte samples gain nothing from wider tricks.

void copyDeviceToHost(const std::uint8_t* source, std::uint8_t* destination, int frames, int sampleBits)
{
    switch (sampleBits) {
    case 16:
        for (int i = 0; i < frames; ++i, source += 4, destination += 2) {
            destination[0] = source[0];
            destination[1] = source[1];
        }
        break;
    case 24:
        for (int i = 0; i < frames; ++i, source += 6, destination += 3) {
            destination[0] = source[0];
            destination[1] = source[1];
            destination[2] = source[2];
        }
        break;
    case 32:
        for (int i = 0; i < frames; ++i, source += 6, destination += 4) {
            destination[0] = 0;
            destination[1] = source[0];
            destination[2] = source[1];
            destination[3] = source[2];
        }
        break;
    default:
        break;
    }
}

void copyHostToDevice(const std::uint8_t* source, std::uint8_t* destination, int frames, int sampleBits)
{
    switch (sampleBits) {
    case 16:
        for (int i = 0; i < frames; ++i, source += 2, destination += 4) {
            destination[0] = source[0];
            destination[1] = source[1];
        }
        break;
    case 24:
        for (int i = 0; i < frames; ++i, source += 3, destination += 6) {
            destination[0] = source[0];
            destination[1] = source[1];
            destination[2] = source[2];
        }
        break;
    case 32:
        // The lowest byte is dropped without rounding.
        for (int i = 0; i < frames; ++i, source += 4, destination += 6) {
            destination[0] = source[1];
            destination[1] = source[2];
            destination[2] = source[3];
        }
        break;
    default:
        break;
    }
}

}  // namespace rk50
