// Placeholder until the web client lands: every fetch fails at the transport.
#include "web/account_fetch.h"

namespace tamovox {
int fetchAccount(int, FetchKind) { return -1; }
void speakerFetchTick() {}
}  // namespace tamovox
