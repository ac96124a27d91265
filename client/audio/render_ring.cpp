#include "audio/render_ring.h"

#include "core/shared_state.h"

#include <algorithm>
#include <vector>

namespace tamovox {

void upsampleStereo(std::span<const std::int16_t> in, std::span<std::int16_t> out)
{
    const std::size_t frames = in.size() / 2;
    if (frames == 0 || out.size() < frames * 2 * kUpsampleFactor)
        return;
    for (std::size_t f = 0; f < frames; ++f) {
        const std::size_t next = f + 1 < frames ? f + 1 : f;  // the last frame is held
        for (std::size_t ch = 0; ch < 2; ++ch) {
            const float a = in[2 * f + ch];
            const float b = in[2 * next + ch];
            for (int k = 0; k < kUpsampleFactor; ++k) {
                // (6 - k)/6 of a and k/6 of b; the numerator is exact in single precision.
                const float v = ((kUpsampleFactor - k) * a + k * b) / kUpsampleFactor;
                out[(f * kUpsampleFactor + static_cast<std::size_t>(k)) * 2 + ch] = static_cast<std::int16_t>(v);
            }
        }
    }
}

namespace {

// Values from read to write, going round the ring.
int ringDistance(int read, int write)
{
    const int distance = write - read;
    return distance < 0 ? distance + kRenderRingValues : distance;
}

}  // namespace

void pushUpsampled(std::span<const std::int16_t> decoded)
{
    AudioShared& audio = shared().audio;
    std::vector<std::int16_t> upsampled(decoded.size() / 2 * 2 * kUpsampleFactor);
    upsampleStereo(decoded, upsampled);
    std::span<const std::int16_t> values(upsampled);
    if (values.size() > static_cast<std::size_t>(kRenderRingCapacity))
        values = values.last(kRenderRingCapacity);
    const int count = static_cast<int>(values.size());
    int write = audio.renderWriteIndex.load(std::memory_order_relaxed);
    // Make room first: a full ring gives up its oldest frames by moving the read index on. The
    // acquire pairs with the reader's release, so the cells it has read are free to overwrite.
    int read = audio.renderReadIndex.load(std::memory_order_acquire);
    for (;;) {
        const int room = kRenderRingCapacity - ringDistance(read, write);
        if (count <= room)
            break;
        const int kept = (read + count - room) % kRenderRingValues;
        if (audio.renderReadIndex.compare_exchange_weak(read, kept, std::memory_order_acq_rel, std::memory_order_acquire))
            break;
    }
    for (std::int16_t v : values) {
        audio.renderRing[write].store(static_cast<float>(v) / 32768.0f, std::memory_order_relaxed);
        write = (write + 1) % kRenderRingValues;
    }
    audio.renderWriteIndex.store(write, std::memory_order_release);
}

int renderRingAvailableFrames(int channels)
{
    AudioShared& audio = shared().audio;
    const int available = ringDistance(audio.renderReadIndex.load(std::memory_order_acquire),
                                       audio.renderWriteIndex.load(std::memory_order_acquire));
    return channels > 0 ? available / channels : 0;
}

RenderWrite planRenderWrite(RenderSchedule& schedule, int bufferFrames, int padding, int available)
{
    RenderWrite write;
    const int wanted = std::min(bufferFrames, bufferFrames * 6 / 10) - padding;
    const bool stalled = available > 0 && available == schedule.lastAvailable;  // a short sound that nothing follows
    if (!schedule.streaming && (available >= kRenderCushionFrames || stalled)) {
        // The start: silence up to the mark, what the ring holds stays there as the cushion.
        schedule.streaming = true;
        write.silenceFrames = std::max(0, wanted);
    } else if (schedule.streaming && wanted > 0) {
        write.ringFrames = wanted;
        if (available <= wanted)
            schedule.streaming = false;  // its end has come
    }
    schedule.lastAvailable = std::max(0, available - write.ringFrames);
    return write;
}

int pullRender(int frames, int channels, float* destination)
{
    AudioShared& audio = shared().audio;
    const int wanted = frames * channels;
    int count = 0;
    int read = audio.renderReadIndex.load(std::memory_order_acquire);
    for (;;) {
        const int write = audio.renderWriteIndex.load(std::memory_order_acquire);
        count = std::min(ringDistance(read, write), wanted);
        int next = read;
        for (int i = 0; i < count; ++i) {
            destination[i] = audio.renderRing[next].load(std::memory_order_relaxed);
            next = (next + 1) % kRenderRingValues;
        }
        // Hand the cells back, unless the writer gave up some of them to a full ring meanwhile
        // (it may be overwriting them now): then copy again from where it left the read index.
        if (audio.renderReadIndex.compare_exchange_strong(read, next, std::memory_order_acq_rel, std::memory_order_acquire))
            break;
    }
    for (int i = count; i < wanted; ++i)
        destination[i] = 0.0f;
    return 0;
}

}  // namespace tamovox
