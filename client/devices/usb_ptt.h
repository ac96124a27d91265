// The USB serial push-to-talk button; its thread runs while deviceRunFlag is set.
#pragma once

namespace tamovox {

void deviceThread();

}  // namespace tamovox
