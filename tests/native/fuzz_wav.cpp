// libFuzzer target: rk50host's WAV parser on arbitrary bytes.
#include "tools/rk50host/WavFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    rk50host::WavAudio audio;
    const char* why = nullptr;
    if (rk50host::parseWav(data, size, audio, &why)) {
        // Whatever was accepted must be whole frames of a known shape.
        if (audio.samples.size() % static_cast<std::size_t>(audio.channels) != 0)
            __builtin_trap();
    }
    return 0;
}
