// Login by machine identifier, own profile, parameters and the speaker display. Main thread.
#pragma once

#include <string>
#include <string_view>

namespace tamovox {

enum class FetchKind { SpeakerImage = 0, SpeakerProfile = 1, OwnProfile = 2, Lookup = 3, Params = 4 };

// Body length, 0 for no content or a cache hit, 1 without an HTTP handle, -1 on a transport failure.
int fetchAccount(int number, FetchKind kind);

// Timer 7: the speaker's picture, then profile, for the current talker.
void speakerFetchTick();

// The request path of a fetch kind (before escaping).
std::string accountFetchPath(int number, FetchKind kind);

// The information line for a display name already in UTF-8.
std::string greetingText(std::string_view name);

}  // namespace tamovox
