#include "mainwindow/lamps.h"

#include "core/shared_state.h"
#include "imaging/draw_helpers.h"
#include "mainwindow/colours.h"
#include "mainwindow/lamp_container.h"


#include <algorithm>
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

// The whole file, or nothing when it cannot be read or is larger than any real container.
std::vector<std::uint8_t> readContainer(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<std::size_t>(size) > kMaxContainerBytes)
        return {};
    std::vector<std::uint8_t> file(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(file.data()), size))
        return {};
    return file;
}

}  // namespace

void loadLampBitmaps(const std::string& path)
{
    for (QImage& lamp : shared().skin.lamps)
        lamp = QImage();
    const std::vector<std::uint8_t> file = readContainer(path);
    if (auto entries = parseLampDirectory(file)) {
        for (const LampName& lamp : kLampNames) {
            const LampEntry* entry = findLampEntry(*entries, lamp.file);
            auto bitmap = entry ? decodeLampMember(file, *entry) : std::nullopt;
            shared().skin.lamps[lamp.code] = bitmap ? toImage(*bitmap) : QImage();
        }
    }
    setLampDefaults();
}

Rect drawLamp(QImage& target, int state, int x, int y, std::uint32_t background)
{
    const auto& lamps = shared().skin.lamps;
    QSize cell;
    for (const QImage& lamp : lamps)
        cell = cell.expandedTo(lamp.size());
    if (cell.isEmpty())
        return {};
    const QRect area = QRect(QPoint(x, y), cell).intersected(target.rect());
    const std::uint32_t fill = colourFromRef(background).rgb();
    for (int row = area.top(); row <= area.bottom(); ++row)
        std::fill_n(reinterpret_cast<std::uint32_t*>(target.scanLine(row)) + area.left(), area.width(), fill);
    if (state >= 1 && state <= 6)
        drawTransparent(target, lamps[static_cast<std::size_t>(state)], x, y);
    return {x, y, x + cell.width(), y + cell.height()};
}

}  // namespace tamovox
