// Placeholder until the receive path lands.
#include "transport/transport_threads.h"

namespace tamovox {
void receiveThread() {}
}  // namespace tamovox
