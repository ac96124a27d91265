// The real client's socket set-up, presence thread, voice sender, list request and speech bridge
// against the real voice server on a loopback address of the test's own.
#include "../server_voice/voice_server_process.h"

#include "core/shared_state.h"
#include "transport/datagrams.h"
#include "transport/transport_threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tamovox {
// Claimed in main, before anything sends: the client reads its server address once.
std::string kServer;
namespace {

using namespace tamovox::testing;

std::vector<std::uint8_t> presenceDatagram(std::uint16_t account)
{
    std::uint8_t d[kPresenceBufferBytes];
    const std::size_t n = buildPresence(d, PresenceVariant::V, account, "", "0.7.9");
    return {d, d + n};
}

sockaddr_in localAddress(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    return a;
}

TEST(ClientLink, PresenceVoiceAndListReachTheServer)
{
    ASSERT_FALSE(kServer.empty()) << "no loopback address could be had";
    VoiceServerProcess server(kServer);
    ASSERT_TRUE(server.running()) << server.why();
    // A listener already on channel 0.
    const int listener = udpSocket("127.0.2.21");
    const auto presence = presenceDatagram(777);
    sendTo(listener, kServer, 30000, presence.data(), presence.size());

    ASSERT_EQ(setupSockets(), 0);
    SharedState& s = shared();
    EXPECT_EQ(s.lamps.voiceLink, 4);
    EXPECT_EQ(s.lamps.supervisorLink, 4);
    EXPECT_EQ(localAddress(s.sockets.voiceSocket).sin_addr.s_addr, htonl(INADDR_ANY));
    std::thread(presenceThread).detach();

    // The client's presence makes it a member: the listener hears it join, as the guest.
    const auto joined = receiveType(listener, kTypePeerState, 10000);
    ASSERT_EQ(joined.size(), kPeerStateBytes);
    EXPECT_EQ(joined[1], kPeerJoined);
    EXPECT_EQ(joined[3] | (joined[4] << 8), kGuestAccountNumber);

    // Its voice reaches the listener, rewritten with the talker's account.
    std::int16_t block[kVoiceBlockValues];
    for (std::size_t i = 0; i < kVoiceBlockValues; ++i)
        block[i] = static_cast<std::int16_t>(1000 + i);
    sendVoiceBlock(block);
    const auto voice = receiveType(listener, kTypeVoice, 10000);
    ASSERT_EQ(voice.size(), kVoiceDatagramBytes);
    EXPECT_EQ(voice[1], 1);
    EXPECT_EQ(voice[3] | (voice[4] << 8), kGuestAccountNumber);
    EXPECT_EQ(voice[7], kContentSamples);
    EXPECT_EQ(std::memcmp(voice.data() + 24, block, 1000), 0);

    // The list request leaves from the control socket and the reply names both members.
    listRequest(30000);
    const auto list = receiveType(s.sockets.controlSocket, kTypeList, 10000);
    ListReply reply;
    ASSERT_TRUE(parseListReply(list, reply));
    EXPECT_EQ(reply.channelIndex, 0);
    ASSERT_EQ(reply.count, 2);
    std::vector<int> accounts = {reply.accounts[0], reply.accounts[1]};
    std::sort(accounts.begin(), accounts.end());
    EXPECT_EQ(accounts, (std::vector<int>{777, kGuestAccountNumber}));
    EXPECT_EQ(server.stop(), 0);
    close(listener);
}

TEST(ClientLink, LoopbackSocketIsLocalOnlyAndPressesPushToTalk)
{
    setupLoopbackSocket();
    const int fd = shared().sockets.loopbackSocket;
    ASSERT_GE(fd, 0);
    const sockaddr_in local = localAddress(fd);
    EXPECT_EQ(local.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    std::thread(speechReceiveThread).detach();

    const int companion = udpSocket("127.0.0.1");
    auto waitFor = [](int state) {
        return waitUntil(
            [state] {
                std::lock_guard lock(shared().pushToTalk.pushToTalkLock);
                return shared().pushToTalk.manualState == state;
            },
            10000, 10);
    };
    sendTo(companion, "127.0.0.1", ntohs(local.sin_port), "TR", 2);  // only byte 0 counts
    EXPECT_TRUE(waitFor(kPttPressed));
    sendTo(companion, "127.0.0.1", ntohs(local.sin_port), "X", 1);
    sendTo(companion, "127.0.0.1", ntohs(local.sin_port), "R", 1);
    EXPECT_TRUE(waitFor(kPttReleased));
    close(companion);
}

}  // namespace
}  // namespace tamovox

int main(int argc, char** argv)
{
    // Read once by the first send: set before anything sends.
    tamovox::testing::LoopbackAddress address;
    tamovox::kServer = address.text();
    setenv("TAMOVOX_VOICE_SERVER", tamovox::kServer.c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
