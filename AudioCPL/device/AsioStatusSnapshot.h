// What the ASIO page shows of the driver's published state.
#pragma once

#include <cstdint>

namespace rk50 {

struct AsioStatusSnapshot {
    std::uint8_t driverLoaded = 0;  // 1 while a driver object exists
    std::uint8_t streaming = 0;     // 1 from start to stop
    std::int32_t activeOutputs = 0;
    std::int32_t activeInputs = 0;
    std::int32_t bufferSize = 0;
    std::int32_t sampleRate = 0;
    std::int32_t bitsPerSample = 0;
};

}  // namespace rk50
