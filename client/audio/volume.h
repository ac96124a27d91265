// Master volume of the default source (microphone) and sink (speaker), 0.0 to 1.0.
// Failures are silent: a get yields 0.0 and a set changes nothing. Any thread.
#pragma once

namespace tamovox {

float getCaptureVolume();
void setCaptureVolume(float volume);
float getRenderVolume();
void setRenderVolume(float volume);

}  // namespace tamovox
