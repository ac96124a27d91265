#include "web/enrolment.h"

#include "web/server_pictures.h"

namespace tamovox::web {

Store::Created enrolAccount(Store& store, Profile profile, std::span<const std::uint8_t> picture)
{
    Store::Created refused;
    if (std::string reason = validateProfile(profile); !reason.empty()) {
        refused.error = reason;
        return refused;
    }
    std::vector<std::uint8_t> png;
    if (!picture.empty()) {
        auto normalised = normaliseProfilePicture(picture, refused.error);
        if (!normalised)
            return refused;
        png = std::move(*normalised);
    }
    Store::Created created = store.enrol(profile, png.empty() ? std::vector<std::uint8_t>{} : png);
    if (created.number > 0 && !created.duplicate && png.empty()) {
        // The portrait depends on the number, known only now.
        const std::vector<std::uint8_t> drawn = defaultPicture(created.number);
        store.setPicture(created.number, drawn);
    }
    return created;
}

}  // namespace tamovox::web
