// Placeholder until capture, playback and the render path land: the audio thread honours
// its run flag so shutdown stays orderly.
#include "audio/audio_threads.h"

#include "core/shared_state.h"

#include <chrono>
#include <thread>

namespace tamovox {

int audioThread()
{
    AudioShared& audio = shared().audio;
    audio.audioRunFlag = 1;
    while (audio.audioRunFlag == 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    audio.audioRunFlag = 99;
    return 0;
}

void renderThread() {}
void createOpusDecoder() {}
void destroyOpusDecoder() {}

}  // namespace tamovox
