// Placeholder until the supervisor thread lands.
#include "transport/transport_threads.h"

namespace tamovox {
void supervisorThread() {}
}  // namespace tamovox
