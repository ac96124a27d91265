// Entry points of the audio thread (capture and playback, half-duplex) and of the render
// thread (the always-open Opus path), plus the decoder's life.
#pragma once

namespace tamovox {

int audioThread();
void renderThread();
void createOpusDecoder();
void destroyOpusDecoder();

}  // namespace tamovox
