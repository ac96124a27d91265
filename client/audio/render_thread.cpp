// The render thread: feeds the render stream from the render ring, waking twice per buffer length
// (about every half second). Like the audio thread it outlives the sound server: a lost or
// missing server is retried every second, so Opus audio comes back with it.
#include "audio/audio_threads.h"

#include "audio/render_ring.h"
#include "platform/audio_backend.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace tamovox {

namespace {
using namespace std::chrono_literals;
constexpr auto kRetryPeriod = 1s;
}  // namespace

void renderThread()
{
    pthread_setname_np(pthread_self(), "tv-render");  // for top -H and debuggers
    std::vector<float> values;
    for (;;) {
        RenderStream* stream = nullptr;
        int bufferFrames = 0;
        if (openRenderStream(stream, bufferFrames) != kAudioOk || bufferFrames <= 0) {
            std::this_thread::sleep_for(kRetryPeriod);
            continue;
        }
        values.assign(static_cast<std::size_t>(bufferFrames) * kRenderChannels, 0.0f);
        pullRender(bufferFrames, kRenderChannels, values.data());
        bool ok = writeRenderFrames(stream, values.data(), bufferFrames) == 0;
        const auto halfBuffer = std::chrono::microseconds(500'000LL * bufferFrames / kRenderRate);
        // After each write the device holds 0.6 of its buffer, enough until the next wake. A stream
        // starts playing only once the ring also holds a cushion, so that packets arriving a little
        // late never cut gaps of silence into it; silence is written only outside a stream.
        const int target = bufferFrames * 6 / 10;
        constexpr int kCushionFrames = kRenderRate / 10;
        bool streaming = false;
        int lastAvailable = 0;
        while (ok) {
            std::this_thread::sleep_for(halfBuffer);
            const int padding = renderPaddingFrames(stream);
            if (padding < 0)
                break;
            const int frames = std::min(bufferFrames - padding, target - padding);
            if (frames <= 0)
                continue;
            const int available = renderRingAvailableFrames(kRenderChannels);
            const bool stalled = available > 0 && available == lastAvailable;  // a short sound that nothing follows
            if (!streaming && (available >= frames + kCushionFrames || stalled))
                streaming = true;
            if (streaming) {
                pullRender(frames, kRenderChannels, values.data());  // the end of a stream is followed by silence
                if (available <= frames)
                    streaming = false;
            } else {
                std::fill_n(values.begin(), static_cast<std::size_t>(frames) * kRenderChannels, 0.0f);
            }
            lastAvailable = renderRingAvailableFrames(kRenderChannels);
            ok = writeRenderFrames(stream, values.data(), frames) == 0;
        }
        closeRenderStream(stream);
        std::this_thread::sleep_for(kRetryPeriod);
    }
}

}  // namespace tamovox
