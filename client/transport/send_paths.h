// The paced and counted parts of the send paths as plain functions, so the presence rotation,
// its period and the transmit chase run without sockets or real time.
#pragma once

#include "transport/datagrams.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tamovox {

inline constexpr int kPresencePeriodMs = 20;
inline constexpr int kBusyPresencePeriodMs = 15;  // channel port 30003
inline constexpr int kLinkBlinkMs = 5000;
inline constexpr int kChaseEvery = 3;             // voice datagrams per chase step

// Sleep period after a presence datagram sent to channelPort.
int presencePeriodMs(int channelPort);

// Presence rotation: counter 0, 1, 2; the first datagram uses 1 (variant N).
struct PresenceRotation {
    int counter = 0;
    std::uint8_t buffer[kPresenceBufferBytes] = {};
};
// Advances the counter and builds the next presence datagram in rotation.buffer; its length.
std::size_t nextPresence(PresenceRotation& rotation, std::uint16_t accountNumber, const char* machineId,
                         const char* version);

// Sends one datagram to the voice server at a port, and sleeps; plain function pointers so
// tests record what the loop does instead of waiting.
using PresenceSend = void (*)(const std::uint8_t* data, std::size_t length, int channelPort);
using SleepMs = void (*)(int milliseconds);
// The presence loop over the shared state; iterations < 0 runs for ever.
void presenceLoop(PresenceRotation& rotation, PresenceSend send, SleepMs sleep, long iterations);

// Transmit chase: every third voice datagram all 16 activity lamps go dark red (2) and the lamp
// at position goes green (3); the position then steps down, 15 after 0.
struct TransmitChase {
    int frameCounter = 0;  // 0..2
};
void advanceTransmitChase(TransmitChase& chase, int& position, std::atomic<int>* lamps);

// The voice block sender's own state: 8-bit sequence from 1, the datagram buffer.
struct VoiceSender {
    std::uint8_t sequence = 1;
    TransmitChase chase;
    std::uint8_t datagram[kVoiceDatagramBytes] = {};
};
// Builds the next voice datagram from a 500-value block and advances the sequence; its length.
std::size_t nextVoiceDatagram(VoiceSender& sender, std::uint16_t accountNumber, const std::int16_t* block);

}  // namespace tamovox
