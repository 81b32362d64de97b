#include "SimLoopback.h"

#include <cstring>

namespace rk50sim {

namespace {

constexpr uint32_t kMaxFrameBytes = 6;

std::size_t slotOf(int64_t clockFrame)
{
    return static_cast<std::size_t>(static_cast<uint64_t>(clockFrame) % LoopbackLine::kFrames);
}

}  // namespace

void LoopbackLine::write(const PcmFormat& format, int64_t clockFrame, const uint8_t* data, std::size_t frames)
{
    if (tags_.empty()) {
        samples_.assign(kFrames * kMaxFrameBytes, 0);
        tags_.assign(kFrames, -1);
    } else if (!sameFormat(format, format_)) {
        tags_.assign(kFrames, -1);
    }
    format_ = format;
    const uint32_t bytes = frameBytes(format);
    // Only the last kFrames of a longer write can be kept.
    if (frames > kFrames) {
        data += (frames - kFrames) * bytes;
        clockFrame += static_cast<int64_t>(frames - kFrames);
        frames = kFrames;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const int64_t frame = clockFrame + static_cast<int64_t>(i);
        if (frame < 0)
            continue;
        const std::size_t slot = slotOf(frame);
        tags_[slot] = frame;
        memcpy(&samples_[slot * kMaxFrameBytes], data + i * bytes, bytes);
    }
}

void LoopbackLine::read(const PcmFormat& format, int64_t clockFrame, uint8_t* out, std::size_t frames) const
{
    const uint32_t bytes = frameBytes(format);
    const bool sameLine = !tags_.empty() && sameFormat(format, format_);
    for (std::size_t i = 0; i < frames; ++i) {
        const int64_t frame = clockFrame + static_cast<int64_t>(i);
        uint8_t* target = out + i * bytes;
        if (sameLine && frame >= 0 && tags_[slotOf(frame)] == frame)
            memcpy(target, &samples_[slotOf(frame) * kMaxFrameBytes], bytes);
        else
            memset(target, 0, bytes);
    }
}

void LoopbackLine::erase(int64_t from, int64_t to)
{
    if (tags_.empty() || to <= from)
        return;
    if (to - from > static_cast<int64_t>(kFrames))
        from = to - static_cast<int64_t>(kFrames);
    for (int64_t frame = from < 0 ? 0 : from; frame < to; ++frame) {
        if (tags_[slotOf(frame)] == frame)
            tags_[slotOf(frame)] = -1;
    }
}

}  // namespace rk50sim
