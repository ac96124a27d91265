// Store and take operations of the playout buffer, and the write index rules.
#include "audio/playout.h"
#include "core/shared_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace tamovox {
namespace {

std::array<std::uint8_t, 1000> blockOf(std::uint8_t tag)
{
    std::array<std::uint8_t, 1000> block;
    block.fill(tag);
    return block;
}

std::uint8_t slotTag(int slot) { return shared().audio.playoutBuffer[slot][0]; }
int writeIndex() { return shared().audio.playoutWriteIndex; }

TEST(PlayoutStore, FillsFromFiveAndKeepsOnlyTheLastOnceFull)
{
    resetPlayout();
    ASSERT_EQ(writeIndex(), 5);
    for (int i = 1; i <= 14; ++i)
        storePcmBlock(blockOf(static_cast<std::uint8_t>(i)), /*attenuate=*/false);
    for (int slot = 5; slot < 15; ++slot)
        EXPECT_EQ(slotTag(slot), slot - 4) << "slot " << slot;
    EXPECT_EQ(slotTag(15), 14) << "blocks 11 to 14 overwrite slot 15 in turn";
    EXPECT_EQ(writeIndex(), 15);
    EXPECT_EQ(shared().audio.receivedAudioKind, 1);
}

TEST(PlayoutStore, SilenceZeroesItsSlotAdvancesAndKeepsTheKind)
{
    resetPlayout();
    std::memset(shared().audio.playoutBuffer[5], 0x7F, 1000);
    shared().audio.receivedAudioKind = 2;
    storeSilenceBlock();
    EXPECT_EQ(writeIndex(), 6);
    EXPECT_EQ(slotTag(5), 0);
    EXPECT_EQ(shared().audio.receivedAudioKind, 2);
}

TEST(PlayoutTake, MovesTheQueueDownAndNeverLowersTheIndexBelowFour)
{
    resetPlayout();
    std::array<std::uint8_t, 4000> out{};
    // Nothing received: silence is played and the index settles at 4.
    takePlayoutBlock(out);
    EXPECT_EQ(writeIndex(), 4);
    takePlayoutBlock(out);
    EXPECT_EQ(writeIndex(), 4);
    for (std::uint8_t b : out)
        ASSERT_EQ(b, 0);
    // Six blocks at 4..9: the first take plays 4..7, the next 8, 9 and two silent slots.
    for (int i = 1; i <= 6; ++i)
        storePcmBlock(blockOf(static_cast<std::uint8_t>(i)), /*attenuate=*/false);
    EXPECT_EQ(writeIndex(), 10);
    takePlayoutBlock(out);
    EXPECT_EQ(writeIndex(), 6);
    for (int q = 0; q < 4; ++q)
        EXPECT_EQ(out[static_cast<std::size_t>(q) * 1000], q + 1);
    EXPECT_EQ(slotTag(12), 0);
    takePlayoutBlock(out);
    EXPECT_EQ(writeIndex(), 4);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1000], 6);
    EXPECT_EQ(out[2000], 0);
}

TEST(PlayoutStore, AttenuationTable)
{
    struct Case {
        std::int16_t in, out;
    } cases[] = {{-1000, -100}, {32767, 3276}, {-32768, -3276}, {12345, 1234}, {-12345, -1234}, {9, 0}, {-9, 0}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(attenuatedValue(c.in), c.out);
    }
    // The whole block goes through it.
    resetPlayout();
    std::array<std::uint8_t, 1000> block{};
    for (std::size_t i = 0; i < 500; ++i) {
        std::int16_t v = -32768;
        std::memcpy(&block[2 * i], &v, 2);
    }
    storePcmBlock(block, /*attenuate=*/true);
    for (std::size_t i = 0; i < 500; ++i) {
        std::int16_t v;
        std::memcpy(&v, &shared().audio.playoutBuffer[5][2 * i], 2);
        ASSERT_EQ(v, -3276) << "value " << i;
    }
}

}  // namespace
}  // namespace tamovox
