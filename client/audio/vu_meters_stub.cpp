// Placeholder until the meter windows land.
#include "audio/vu_meters.h"

namespace tamovox {
void createVuMeters() {}
}  // namespace tamovox
