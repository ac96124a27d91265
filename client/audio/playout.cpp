#include "audio/playout.h"

#include "core/shared_state.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tamovox {

namespace {
constexpr int kResetWriteIndex = 5;
constexpr int kValuesPerBlock = kCaptureBlockBytes / 2;
}  // namespace

std::int16_t attenuatedValue(std::int16_t value)
{
    double magnitude = std::trunc(std::abs(static_cast<double>(value)) * kQuietFactor);
    return static_cast<std::int16_t>(value < 0 ? -magnitude : magnitude);
}

void storePcmBlock(std::span<const std::uint8_t, 1000> payload, bool attenuate)
{
    AudioShared& audio = shared().audio;
    {
        std::lock_guard lock(audio.playoutLock);
        std::uint8_t* slot = audio.playoutBuffer[audio.playoutWriteIndex];
        std::memcpy(slot, payload.data(), kCaptureBlockBytes);
        if (attenuate) {
            for (int i = 0; i < kValuesPerBlock; ++i) {
                std::int16_t v;
                std::memcpy(&v, slot + 2 * i, 2);
                v = attenuatedValue(v);
                std::memcpy(slot + 2 * i, &v, 2);
            }
        }
        audio.playoutWriteIndex = advancedWriteIndex(audio.playoutWriteIndex);
    }
    audio.receivedAudioKind = 1;
}

void storeSilenceBlock()
{
    AudioShared& audio = shared().audio;
    std::lock_guard lock(audio.playoutLock);
    std::memset(audio.playoutBuffer[audio.playoutWriteIndex], 0, kCaptureBlockBytes);
    audio.playoutWriteIndex = advancedWriteIndex(audio.playoutWriteIndex);
}

void resetPlayout()
{
    AudioShared& audio = shared().audio;
    std::lock_guard lock(audio.playoutLock);
    std::memset(audio.playoutBuffer, 0, sizeof audio.playoutBuffer);
    audio.playoutWriteIndex = kResetWriteIndex;
}

void takePlayoutBlock(std::span<std::uint8_t, 4000> out)
{
    AudioShared& audio = shared().audio;
    std::lock_guard lock(audio.playoutLock);
    constexpr int kKept = kPlayoutSlots - kPlayoutTakeSlots;
    std::memmove(audio.playoutBuffer[0], audio.playoutBuffer[kPlayoutTakeSlots], static_cast<std::size_t>(kKept) * kCaptureBlockBytes);
    std::memset(audio.playoutBuffer[kKept], 0, static_cast<std::size_t>(kPlayoutTakeSlots) * kCaptureBlockBytes);
    audio.playoutWriteIndex = std::max(audio.playoutWriteIndex - kPlayoutTakeSlots, kPlayoutFirstQueued);
    std::memcpy(out.data(), audio.playoutBuffer[0], out.size());
}

}  // namespace tamovox
