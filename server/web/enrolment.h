// Creating an account, shared by the home page's form and the enrol command. Any thread.
#pragma once

#include "web/store.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

namespace tamovox::web {

// A profile from its named fields (machine_id, name, first_name, ...), as the form and the
// command line both give them; get returns an empty text for a field that is not there.
template <typename Get>
Profile profileFromFields(Get get)
{
    Profile p;
    p.machineId = get("machine_id");
    p.displayName = get("name");
    p.firstName = get("first_name");
    p.nickname = get("nickname");
    p.city = get("city");
    p.phrase = get("phrase");
    p.day = get("day");
    p.email = get("email");
    p.folder = get("folder");
    return p;
}

// Checks the profile and picture (none: a drawn portrait), then stores the account.
Store::Created enrolAccount(Store& store, Profile profile, std::span<const std::uint8_t> picture);

}  // namespace tamovox::web
