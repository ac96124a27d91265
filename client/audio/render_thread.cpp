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
        RenderSchedule schedule;
        while (ok) {
            std::this_thread::sleep_for(halfBuffer);
            const int padding = renderPaddingFrames(stream);
            if (padding < 0)
                break;
            const RenderWrite write = planRenderWrite(schedule, bufferFrames, padding, renderRingAvailableFrames(kRenderChannels));
            const int frames = write.silenceFrames + write.ringFrames;
            if (frames <= 0)
                continue;
            std::fill_n(values.begin(), static_cast<std::size_t>(write.silenceFrames) * kRenderChannels, 0.0f);
            pullRender(write.ringFrames, kRenderChannels, values.data() + static_cast<std::size_t>(write.silenceFrames) * kRenderChannels);
            ok = writeRenderFrames(stream, values.data(), frames) == 0;
        }
        closeRenderStream(stream);
        std::this_thread::sleep_for(kRetryPeriod);
    }
}

}  // namespace tamovox
