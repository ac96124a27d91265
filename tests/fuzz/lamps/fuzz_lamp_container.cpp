// Any bytes as "mini_leds.bmf": the directory and each of the six members.
#include "mainwindow/lamp_container.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const auto entries = tamovox::parseLampDirectory(file);
    if (!entries)
        return 0;
    for (const char* name : {"LedRed.bmp", "LedGreen.bmp", "LedBlue.bmp", "LedDarkRed.bmp", "LedDarkBlue.bmp", "LedYellow.bmp"})
        if (const tamovox::LampEntry* entry = tamovox::findLampEntry(*entries, name))
            if (const auto bitmap = tamovox::decodeLampMember(file, *entry))
                if (bitmap->pixels.size() != static_cast<std::size_t>(bitmap->width) * static_cast<std::size_t>(bitmap->height))
                    __builtin_trap();
    // Each entry's member, whatever its name.
    for (const tamovox::LampEntry& entry : *entries)
        (void)tamovox::decodeLampMember(file, entry);
    return 0;
}
