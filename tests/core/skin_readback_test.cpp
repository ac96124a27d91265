// The skin generator's lamp container is read back by the client's own parser.
#include "mainwindow/lamp_container.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

TEST(SkinReadback, GeneratedLampContainerHoldsSixLamps)
{
    std::ifstream in(TAMOVOX_SKIN_DIR "/mini_leds.bmf", std::ios::binary);
    ASSERT_TRUE(in);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto entries = tamovox::parseLampDirectory(file);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 6u);
    for (const char* name : {"LedRed.bmp", "LedDarkRed.bmp", "LedGreen.bmp", "LedYellow.bmp", "LedBlue.bmp", "LedDarkBlue.bmp"}) {
        SCOPED_TRACE(name);
        const tamovox::LampEntry* entry = tamovox::findLampEntry(*entries, name);
        ASSERT_NE(entry, nullptr);
        const auto lamp = tamovox::decodeLampMember(file, *entry);
        ASSERT_TRUE(lamp);
        EXPECT_EQ(lamp->width, 14);
        EXPECT_EQ(lamp->height, 14);
        EXPECT_EQ(lamp->pixels[0], 0xFF000000u) << "corners stay black, the transparent key";
        EXPECT_NE(lamp->pixels[7 * 14 + 7], 0xFF000000u) << "the lamp itself is drawn";
    }
}

TEST(SkinReadback, EveryBitmapTheClientOpensIsThere)
{
    const char* files[] = {"0.bmp", "1.bmp", "10.bmp", "btn-fleche.bmp", "btn-param.bmp", "doc_img.bmp",
                           "synthe_1.bmp", "vu_meter_2.bmp", "electron-animation.gif", "chimes.wav"};
    for (const char* file : files) {
        SCOPED_TRACE(file);
        std::ifstream in(std::string(TAMOVOX_SKIN_DIR "/") + file, std::ios::binary);
        EXPECT_TRUE(in && in.peek() != EOF);
    }
}

}  // namespace
