// The Opus path after the decoder: the 8 kHz to 48 kHz upsampler and the render ring (192000
// floats, 2 s of 48 kHz stereo). One writer (the receive thread), one reader (the render thread),
// no lock: the writer stores its values before it publishes the write index, the reader copies
// its values before it hands them back through the read index (release and acquire each way).
//
// The writer never waits: when the ring is full it drops the oldest frames by moving the read
// index on itself, with a compare-and-swap. The reader hands its cells back with a compare-and-swap
// too; if that fails, the writer took cells the reader was copying (and may be overwriting them),
// so the reader copies again from the new read index. That is why the cells are atomics (relaxed)
// although the indices do the ordering. Indices stay in [0, 192000) and move by whole frames; one
// frame stays empty so that a full ring differs from an empty one. A stale compare-and-swap could
// only pass if the writer dropped exactly a whole ring, 2 s of sound, during one copy.
#pragma once

#include <cstdint>
#include <span>

namespace tamovox {

inline constexpr int kUpsampleFactor = 6;  // 8000 to 48000 frames/s

// n interleaved stereo frames (2n values) to 6n frames (12n values). Each channel is interpolated
// on its own, between a frame and the next of the same channel; the last frame is held for its
// six outputs. out must hold 12n values.
void upsampleStereo(std::span<const std::int16_t> in, std::span<std::int16_t> out);

// Receive thread: upsamples n frames and pushes them as floats v / 32768. The writer does not
// wait for the reader: a full ring drops its oldest unread frames to make room.
void pushUpsampled(std::span<const std::int16_t> decoded);

// Render thread: stereo frames waiting in the ring.
int renderRingAvailableFrames(int channels);

// What the render thread writes at a wake. Outside a stream nothing is written and the device
// falls silent by itself. A stream starts once the ring holds a 100 ms cushion (or a short sound
// that nothing follows), with silence up to 0.6 of the device buffer while the ring keeps what it
// holds as the cushion; from then on
// each wake tops the device up to 0.6 from the ring, enough until the next wake, so that packets
// arriving a little late never cut gaps of silence into the stream.
struct RenderSchedule {
    bool streaming = false;
    int lastAvailable = 0;   // ring frames after the previous wake
};
struct RenderWrite {
    int silenceFrames = 0;   // written first
    int ringFrames = 0;      // then pulled from the ring (its end followed by silence)
};
inline constexpr int kRenderCushionFrames = 4800;
RenderWrite planRenderWrite(RenderSchedule& schedule, int bufferFrames, int padding, int available);

// Render thread: fills frames x channels values from the ring, the rest with 0.0 when the ring
// runs short. Returns the buffer flags, always 0.
int pullRender(int frames, int channels, float* destination);

}  // namespace tamovox
