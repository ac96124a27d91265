// Placeholder until the sound-server volume controls land.
#include "audio/volume.h"

namespace tamovox {
float getCaptureVolume() { return 0.0f; }
void setCaptureVolume(float) {}
float getRenderVolume() { return 0.0f; }
void setRenderVolume(float) {}
}  // namespace tamovox
