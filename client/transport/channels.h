// The eleven channels of the voice network, their ports, and the speech companion's port.
// Pure tables; any thread.
#pragma once

#include <cstddef>

namespace tamovox {

inline constexpr int kChannelPortBase = 30000;     // channel port = base + channel index
inline constexpr int kControlPortOffset = 1000;    // control port = channel port + offset
inline constexpr int kChannelTableSize = 11;
inline constexpr int kSpeechCompanionPort = 5555;  // on 127.0.0.1
inline constexpr const char* kSpeechCompanionAddress = "127.0.0.1";
inline constexpr int kBusyChannelPort = 30003;     // presence goes faster on this channel

struct ChannelEntry {
    int channelPort;
    int controlPort;
    const char* name;  // UTF-8, as shown by the main window
};

extern const ChannelEntry kChannelTable[kChannelTableSize];

// Channel index of a channel port (30000..30010), or -1 for any other port.
int channelIndexOfPort(int channelPort);
// Channel index of a control port (31000..31010), or -1.
int channelIndexOfControlPort(int controlPort);
// Name of a channel index, or nullptr when the index is out of range.
const char* channelName(int channelIndex);

}  // namespace tamovox
