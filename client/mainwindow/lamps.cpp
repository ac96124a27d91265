#include "mainwindow/lamps.h"

#include "core/shared_state.h"
#include "mainwindow/lamp_container.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace tamovox {

namespace {

struct LampName {
    int code;
    const char* file;
};
constexpr LampName kLampNames[] = {
    {1, "LedRed.bmp"}, {3, "LedGreen.bmp"}, {5, "LedBlue.bmp"},
    {2, "LedDarkRed.bmp"}, {6, "LedDarkBlue.bmp"}, {4, "LedYellow.bmp"},
};
constexpr std::size_t kMaxContainerBytes = 4 * 1024 * 1024;

QImage toImage(const LampBitmap& bitmap)
{
    QImage image(bitmap.width, bitmap.height, QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.height; ++y)
        std::copy_n(bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.width, bitmap.width,
                    reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    return image;
}

void setLampDefaults()
{
    LampStates& lamps = shared().lamps;
    for (std::atomic<int>* lamp : {&lamps.peer, &lamps.transmit, &lamps.tcp, &lamps.voiceLink, &lamps.supervisorLink, &lamps.https})
        *lamp = 5;
    for (auto& lamp : lamps.errorLevel)
        lamp = 6;
    for (auto& lamp : lamps.activity)
        lamp = 5;
    shared().layout.networkRing = {375, 335, 480, 440};
}

}  // namespace

void loadLampBitmaps(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::vector<std::uint8_t> file;
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (file.size() <= kMaxContainerBytes) {
            if (auto entries = parseLampDirectory(file)) {
                for (const LampName& lamp : kLampNames) {
                    const LampEntry* entry = findLampEntry(*entries, lamp.file);
                    auto bitmap = entry ? decodeLampMember(file, *entry) : std::nullopt;
                    shared().skin.lamps[lamp.code] = bitmap ? toImage(*bitmap) : QImage();
                }
            }
        }
    }
    setLampDefaults();
}

}  // namespace tamovox
