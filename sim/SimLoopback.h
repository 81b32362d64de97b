// The converter's analogue loop: frames its output plays, kept by the sample
// clock frame at which they play, for its input to read back later. A ring of
// kFrames frames (about 10 s at 96 kHz); each slot remembers which clock frame
// it holds, so a frame never written, overwritten or erased reads as silence.
// No locking and no Windows call: the caller serialises.
#pragma once

#include "SimSignal.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rk50sim {

class LoopbackLine {
public:
    static constexpr std::size_t kFrames = std::size_t(1) << 20;

    // A write in another format than the line holds forgets what it held.
    void write(const PcmFormat& format, int64_t clockFrame, const uint8_t* data, std::size_t frames);
    // Frames [clockFrame, clockFrame + frames); silence where nothing was played
    // in this format.
    void read(const PcmFormat& format, int64_t clockFrame, uint8_t* out, std::size_t frames) const;
    // Frames queued to play in [from, to) that will not play after all.
    void erase(int64_t from, int64_t to);

private:
    PcmFormat format_;
    std::vector<uint8_t> samples_;
    std::vector<int64_t> tags_;
};

}  // namespace rk50sim
