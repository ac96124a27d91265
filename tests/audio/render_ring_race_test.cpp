// The render ring when it fills: it keeps the newest frames, whole and in order, also while the
// receive thread pushes and the render thread pulls at the same time. Under the tsan preset the
// second test also shows that the cells and indices pass between the threads without a race.
#include "audio/render_ring.h"
#include "core/shared_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <thread>
#include <vector>

namespace tamovox {
namespace {

constexpr int kBlockFrames = 160;                           // 20 ms at 8 kHz
constexpr int kRingFrames = kRenderRingCapacity / 2;        // what a full ring holds

// Block b (from 1) is the constant frame (b, -b): upsampled it stays (b, -b), so every frame read
// tells which block it came from and whether its left and right still belong together.
void pushBlock(int block)
{
    std::vector<std::int16_t> decoded(2 * kBlockFrames);
    for (int f = 0; f < kBlockFrames; ++f) {
        decoded[2 * f] = static_cast<std::int16_t>(block);
        decoded[2 * f + 1] = static_cast<std::int16_t>(-block);
    }
    pushUpsampled(decoded);
}

// Checks what one pull gave: real frames first, then silence only. Returns the real frames and
// keeps lastBlock, the block of the last real frame, which may only grow.
int checkPulled(const std::vector<float>& values, int& lastBlock)
{
    int frames = 0;
    bool silence = false;
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        const float left = values[i] * 32768.0f;
        const float right = values[i + 1] * 32768.0f;
        if (left == 0.0f && right == 0.0f) {
            silence = true;
            continue;
        }
        EXPECT_FALSE(silence) << "a frame after the silence that ends a pull, at value " << i;
        EXPECT_EQ(left, -right) << "left and right of one frame from different blocks, at value " << i;
        const int block = static_cast<int>(std::lround(left));
        EXPECT_GE(block, lastBlock) << "an older frame after a newer one, at value " << i;
        if (::testing::Test::HasFailure())
            return frames;
        lastBlock = block;
        ++frames;
    }
    return frames;
}

TEST(RenderRingFull, KeepsTheNewestFramesWholeAndInOrder)
{
    struct Case {
        int startIndex;   // where both indices start
        int blocks;       // pushed before anything is pulled
        int available;    // frames then waiting
        int firstBlock;   // block of the first frame pulled
    } cases[] = {
        {0, 10, 9600, 1},
        {0, 99, 95040, 1},
        {0, 100, kRingFrames, 1},      // one frame too many: the oldest frame goes
        {0, 150, kRingFrames, 51},
        {0, 250, kRingFrames, 151},
        {kRenderRingValues - 16, 150, kRingFrames, 51},
        {kRenderRingValues - 16, 401, kRingFrames, 302},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.startIndex << ", " << c.blocks << " blocks");
        shared().audio.renderWriteIndex = c.startIndex;
        shared().audio.renderReadIndex = c.startIndex;
        for (int b = 1; b <= c.blocks; ++b)
            pushBlock(b);
        ASSERT_EQ(renderRingAvailableFrames(2), c.available);
        std::vector<float> values(2 * (kRingFrames + 1), 9.0f);
        pullRender(kRingFrames + 1, 2, values.data());
        EXPECT_EQ(std::lround(values[0] * 32768.0f), c.firstBlock);
        int lastBlock = 0;
        EXPECT_EQ(checkPulled(values, lastBlock), c.available);
        EXPECT_EQ(lastBlock, c.blocks) << "the newest frame is kept";
        EXPECT_EQ(renderRingAvailableFrames(2), 0);
    }
}

// The receive thread pushes as fast as it can while the render thread pulls in pieces of many
// sizes, so the ring runs full and the writer drops frames the reader is copying.
TEST(RenderRingFull, AWriterAndAReaderAtOnceLoseOnlyWholeOldFrames)
{
    constexpr int kBlocks = 3000;  // 30 rings' worth
    shared().audio.renderWriteIndex = 0;
    shared().audio.renderReadIndex = 0;
    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        for (int b = 1; b <= kBlocks; ++b)
            pushBlock(b);
        writerDone = true;
    });
    const int pieces[] = {1, 7, 480, 4800, 24000, kRingFrames + 1};
    std::vector<float> values;
    int lastBlock = 0;
    long framesRead = 0;
    for (int turn = 0;; ++turn) {
        const bool wasDone = writerDone;  // read before the pull: nothing arrives after it
        const int frames = pieces[turn % std::size(pieces)];
        values.assign(2 * static_cast<std::size_t>(frames), 9.0f);
        pullRender(frames, 2, values.data());
        const int got = checkPulled(values, lastBlock);
        if (::testing::Test::HasFailure())
            break;
        framesRead += got;
        if (wasDone && got < frames)
            break;  // the ring is empty and stays so
    }
    writer.join();
    EXPECT_EQ(lastBlock, kBlocks) << "the last block pushed is read";
    EXPECT_LE(framesRead, static_cast<long>(kBlocks) * kBlockFrames * kUpsampleFactor);
    EXPECT_EQ(renderRingAvailableFrames(2), 0);
}

}  // namespace
}  // namespace tamovox
