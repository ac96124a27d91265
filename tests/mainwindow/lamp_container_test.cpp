// The lamp container is outside input: every malformed directory or member gives no lamp of that
// colour, never a read outside the file.
#include "window_fixture.h"

#include "mainwindow/lamp_container.h"
#include "skin/image_writers.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using namespace tamovox;
using Bytes = std::vector<std::uint8_t>;

const char* const kNames[] = {"LedRed.bmp", "LedDarkRed.bmp", "LedGreen.bmp", "LedYellow.bmp", "LedBlue.bmp", "LedDarkBlue.bmp"};
constexpr int kCodes[] = {1, 2, 3, 4, 5, 6};

Bytes lampBmp(QColor colour)
{
    QImage image(14, 14, QImage::Format_RGB32);
    image.fill(colour);
    return skin::encodeBmp24(image);
}

std::vector<std::pair<std::string, Bytes>> members(int count)
{
    std::vector<std::pair<std::string, Bytes>> out;
    for (int i = 0; i < count; ++i)
        out.emplace_back(i < 6 ? kNames[i] : "Spare" + std::to_string(i) + ".bmp", lampBmp(QColor::fromHsv(i * 15, 255, 255)));
    return out;
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get32(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24; }
std::size_t entry(int i) { return 4 + 40 * static_cast<std::size_t>(i); }

std::string writeTemp(const Bytes& bytes)
{
    const auto path = std::filesystem::temp_directory_path() / ("tamovox-leds-" + std::to_string(getpid()) + ".bmf");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

TEST(LampContainer, BadDirectoriesAndMembersGiveNoLampOfThatColour)
{
    test::openWindow();
    struct Case {
        const char* what;
        std::function<Bytes()> make;
        std::array<bool, 7> present;  // by colour code, 0 unused
    } cases[] = {
        {"the generated skin file", [] {
             std::ifstream in(kLampContainerFile, std::ios::binary);
             return Bytes(std::istreambuf_iterator<char>(in), {});
         }, {false, true, true, true, true, true, true}},
        {"20 entries", [] { return skin::encodeLampContainer(members(20)); }, {false, true, true, true, true, true, true}},
        {"21 entries are refused", [] { return skin::encodeLampContainer(members(21)); }, {}},
        {"yellow missing", [] {
             auto m = members(6);
             m[3].first = "LedYellow.BMP";  // names match exactly, case included
             return skin::encodeLampContainer(m);
         }, {false, true, true, true, false, true, true}},
        {"red points past the end", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             put32(b, entry(0) + 32, static_cast<std::uint32_t>(b.size() + 10));
             return b;
         }, {false, false, true, true, true, true, true}},
        {"red offset wraps around", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             put32(b, entry(0) + 32, 0xFFFFFFF0u);
             return b;
         }, {false, false, true, true, true, true, true}},
        {"green larger than the file", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             put32(b, entry(2) + 36, static_cast<std::uint32_t>(b.size()));
             return b;
         }, {false, true, true, false, true, true, true}},
        {"blue pixel offset outside its member", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             const std::uint32_t at = get32(b, entry(4) + 32);
             put32(b, at + 10, get32(b, entry(4) + 36) + 1);
             return b;
         }, {false, true, true, true, true, false, true}},
        {"dark blue header truncated", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             put32(b, entry(5) + 36, 30);  // a file header and half an information header
             return b;
         }, {false, true, true, true, true, true, false}},
        {"dark red dimensions larger than its pixels", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             put32(b, get32(b, entry(1) + 32) + 14 + 8, 4000);  // height
             return b;
         }, {false, true, false, true, true, true, true}},
        {"directory runs past the file", [] {
             Bytes b = skin::encodeLampContainer(members(6));
             b.resize(4 + 40 * 3);
             return b;
         }, {}},
        {"empty file", [] { return Bytes{}; }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = writeTemp(c.make());
        loadLampBitmaps(path);
        std::filesystem::remove(path);
        for (int code : kCodes) {
            SCOPED_TRACE(code);
            EXPECT_EQ(!shared().skin.lamps[static_cast<std::size_t>(code)].isNull(), c.present[static_cast<std::size_t>(code)]);
        }
    }
    // A missing file: no lamps, the defaults still set.
    shared().lamps.peer = 1;
    loadLampBitmaps("no-such-container.bmf");
    EXPECT_TRUE(shared().skin.lamps[1].isNull());
    EXPECT_EQ(shared().lamps.peer.load(), 5);
}

TEST(LampContainer, MemberPixelsDecodeTopDown)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(10, 20, 30));
    image.setPixel(2, 1, qRgb(200, 100, 50));
    const auto bitmap = decodeBmp(skin::encodeBmp24(image));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 3);
    EXPECT_EQ(bitmap->height, 2);
    EXPECT_EQ(bitmap->pixels[0], 0xFF0A141Eu);
    EXPECT_EQ(bitmap->pixels[5], 0xFFC86432u);
}

}  // namespace
