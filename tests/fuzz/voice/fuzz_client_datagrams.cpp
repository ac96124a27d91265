// The client's parsers of received datagrams over exactly the received bytes.
#include "transport/datagrams.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> exact(data, data + std::min<std::size_t>(size, tamovox::kReceiveBufferBytes));
    tamovox::ReceivedVoice v;
    tamovox::parseReceivedVoice(exact, v);
    if (v.payload) {
        volatile std::uint8_t sink = 0;
        for (std::size_t i = 0; i < v.payloadAvailable; ++i)
            sink = sink ^ v.payload[i];
    }
    tamovox::ListReply list;
    if (tamovox::parseListReply(exact, list) && (list.accountsRead < 0 || list.accountsRead > 16))
        std::abort();
    tamovox::parseStatusReply(exact);
    tamovox::parseSpeechCommand(exact);
    tamovox::parseClientDatagram(exact);
    tamovox::parseControlRequest(exact);
    return 0;
}
