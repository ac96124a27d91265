// Placeholder until the voice transport lands: every operation does nothing yet.
#include "transport/transport_threads.h"

#include <cstdint>

namespace tamovox {
int setupSockets() { return 0; }
void setupLoopbackSocket() {}
int speak(const char*) { return 0; }
void quitCompanion() {}
void linkBlinkThread() {}
void presenceThread() {}
void sendVoiceBlock(const std::int16_t*) {}
void listRequest(int) {}
void supervisorThread() {}
void speechReceiveThread() {}
}  // namespace tamovox
