// Creating an account, shared by the home page's form and the enrol command. Any thread.
#pragma once

#include "web/store.h"

#include <cstdint>
#include <span>

namespace tamovox::web {

// Checks the profile and picture (none: a drawn portrait), then stores the account.
Store::Created enrolAccount(Store& store, Profile profile, std::span<const std::uint8_t> picture);

}  // namespace tamovox::web
