// The system sound player: plays a WAV file once, asynchronously, on the default output.
// Main thread. Implemented by the sound backend chosen at link time (PulseAudio or memory).
#pragma once

namespace tamovox {

// False when the file cannot be read or the sound server cannot be reached; the sound
// then plays in the background and nothing more is reported.
bool playSoundFileAsync(const char* path);

}  // namespace tamovox
