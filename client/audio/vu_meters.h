// The two needle meter windows and the level bars under them; main thread.
#pragma once

namespace tamovox {

void createVuMeters();

}  // namespace tamovox
