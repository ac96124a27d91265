#include "transport/send_paths.h"

#include "core/shared_state.h"
#include "transport/channels.h"

namespace tamovox {

int presencePeriodMs(int channelPort)
{
    return channelPort == kBusyChannelPort ? kBusyPresencePeriodMs : kPresencePeriodMs;
}

std::size_t nextPresence(PresenceRotation& rotation, std::uint16_t accountNumber, const char* machineId,
                         const char* version)
{
    rotation.counter = (rotation.counter + 1) % 3;
    const PresenceVariant variant = rotation.counter == 1   ? PresenceVariant::N
                                    : rotation.counter == 2 ? PresenceVariant::D
                                                            : PresenceVariant::V;
    return buildPresence(rotation.buffer, variant, accountNumber, machineId, version);
}

void presenceLoop(PresenceRotation& rotation, PresenceSend send, SleepMs sleep, long iterations)
{
    SharedState& s = shared();
    for (long i = 0; iterations < 0 || i < iterations; ++i) {
        const std::size_t length = nextPresence(rotation, s.identity.accountNumber.load(std::memory_order_relaxed),
                                                s.identity.machineId, s.identity.clientVersion);
        // The port is read now, so a channel change takes effect with the next datagram.
        const int port = s.channel.channelPort.load(std::memory_order_relaxed);
        send(rotation.buffer, length, port);
        sleep(presencePeriodMs(port));
    }
}

void advanceTransmitChase(TransmitChase& chase, int& position, std::atomic<int>* lamps)
{
    if (++chase.frameCounter < kChaseEvery)
        return;
    chase.frameCounter = 0;
    for (int i = 0; i < kActivityLamps; ++i)
        lamps[i].store(2, std::memory_order_relaxed);
    if (position < 0 || position >= kActivityLamps)
        position = kActivityLamps - 1;
    lamps[position].store(3, std::memory_order_relaxed);
    position = position == 0 ? kActivityLamps - 1 : position - 1;
}

std::size_t nextVoiceDatagram(VoiceSender& sender, std::uint16_t accountNumber, const std::int16_t* block)
{
    const std::size_t length = buildVoice(sender.datagram, sender.sequence, accountNumber, block);
    sender.sequence = static_cast<std::uint8_t>(sender.sequence + 1);
    return length;
}

}  // namespace tamovox
