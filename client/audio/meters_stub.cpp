// Placeholder until the meters land.
#include "audio/meters.h"

namespace tamovox {
void captureMeterUpdate(const std::int16_t*) {}
void playbackMeterUpdate(const std::int16_t*) {}
}  // namespace tamovox
