// The receive thread's state and its dispatch of one datagram from the voice server, kept apart
// from the socket loop so that tests feed datagrams directly. Receive thread only.
#pragma once

#include "transport/datagrams.h"

#include <cstddef>
#include <cstdint>

namespace tamovox {

inline constexpr int kSequenceWindow = 100;       // datagrams per error-count window
inline constexpr int kReceptionLost = 99;         // reception error count after a silent wait
inline constexpr int kReceivePollMs = 500;
inline constexpr int kBlinkPeriod = 10;           // voice link lamp: blue at 0, green at 5

struct SequenceState {
    int datagramCounter = 0;        // voice datagrams in the current window
    std::uint8_t errorCount = 0;    // repeats and gaps in the window
    std::uint8_t lastSequence = 0;  // last accepted
};

// Counts the datagram and checks its sequence number; false for a repeat (dropped, the error
// counted but not published). On true the caller publishes errorCount.
bool checkSequence(SequenceState& state, std::uint8_t sequence);

struct ReceiveState {
    std::uint8_t buffer[kReceiveBufferBytes] = {};
    SequenceState sequence;
    int blinkCounter = 0;
    std::int16_t decodeBuffer[1000] = {};
};

// Thread start: the playout buffer cleared, its write index at 5.
void startReceiving(ReceiveState& state);
// Handles the `received` bytes at the start of state.buffer. The rest of the buffer is cleared
// first, so a datagram shorter than its fields reads zeros, never the bytes of an earlier one.
void dispatchDatagram(ReceiveState& state, std::size_t received);
// A wait that timed out or failed: buffer cleared, reception error count 99.
void receiveTimedOut(ReceiveState& state);

}  // namespace tamovox
