// The playout buffer of received PCM blocks: 16 slots of one capture block, slots 0..3 the block
// last handed to the playback device, 4..15 the queue. The receive thread stores, the audio
// thread takes; both under playoutLock.
#pragma once

#include <cstdint>
#include <span>

namespace tamovox {

inline constexpr int kPlayoutFirstQueued = 4;   // the write index stays in 4..15 once playing
inline constexpr int kPlayoutLastSlot = 15;
inline constexpr int kPlayoutTakeSlots = 4;     // one playback buffer, 125 ms
inline constexpr double kQuietFactor = 0.1;     // "B" datagrams on the last channel

// Write index after one store: +1, held at 15 so a full queue keeps overwriting its last slot.
constexpr int advancedWriteIndex(int index) { return index + 1 > kPlayoutLastSlot ? kPlayoutLastSlot : index + 1; }
// One value at a tenth of its amplitude, truncated toward zero (-32768 gives -3276).
std::int16_t attenuatedValue(std::int16_t value);

// Receive thread. Copies the 1000-byte block into the slot at the write index, optionally at a
// tenth, advances the index and marks the received audio as PCM.
void storePcmBlock(std::span<const std::uint8_t, 1000> payload, bool attenuate);
// Zeroes the slot at the write index and advances it; the received audio kind stays.
void storeSilenceBlock();
// Receive thread start: all slots zero, write index 5.
void resetPlayout();

// Audio thread: moves slots 4..15 down to 0..11, zeroes 12..15, lowers the write index by 4
// (not below 4) and copies slots 0..3 (4000 bytes) into out.
void takePlayoutBlock(std::span<std::uint8_t, 4000> out);

}  // namespace tamovox
