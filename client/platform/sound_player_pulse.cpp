// PulseAudio sound player: the stream is opened here so that a failure is known at once,
// then a detached thread writes the samples and closes it.
#include "platform/sound_player.h"

#include "audio/wav_file.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <thread>

namespace tamovox {

bool playSoundFileAsync(const char* path)
{
    WavSound sound;
    if (!readWavFile(path, sound))
        return false;
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = static_cast<std::uint32_t>(sound.sampleRate);
    spec.channels = static_cast<std::uint8_t>(sound.channels);
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "Tamo-Vox", PA_STREAM_PLAYBACK, nullptr, "chime", &spec, nullptr, nullptr, &error);
    if (!stream)
        return false;
    std::thread([stream, samples = std::move(sound.samples)] {
        int err = 0;
        if (pa_simple_write(stream, samples.data(), samples.size() * sizeof(samples[0]), &err) == 0)
            pa_simple_drain(stream, &err);
        pa_simple_free(stream);
    }).detach();
    return true;
}

}  // namespace tamovox
