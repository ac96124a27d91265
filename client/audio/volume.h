// Master volume of the source the client records from (microphone) and the sink it plays to
// (speaker), 0.0 to 1.0, and the knob geometry of MIC GAIN and VOLUME. Failures are silent: a get
// yields 0.0 and a set changes nothing. Any thread.
#pragma once

#include "core/rect.h"

namespace tamovox {

float getCaptureVolume();
void setCaptureVolume(float volume);
float getRenderVolume();
void setRenderVolume(float volume);

// Angle handed to the knob painter: v x 300 + 180.
float knobAngleOfVolume(float volume);
// The volume a click sets, or -1 when the click is outside the knob enlarged by 14 pixels.
float volumeOfClick(int x, int y, const Rect& knob);

}  // namespace tamovox
