// In-memory sound player for tests: reads the file and reports success, plays nothing.
#include "platform/sound_player.h"

#include "audio/wav_file.h"

namespace tamovox {

bool playSoundFileAsync(const char* path)
{
    WavSound sound;
    return readWavFile(path, sound);
}

}  // namespace tamovox
