// An invalid TAMOVOX_VOICE_SERVER: one line on standard error, red link lamps, nothing sent.
#include "core/shared_state.h"
#include "transport/transport_threads.h"
#include "transport/voice_link.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tamovox {
namespace {

TEST(BadServerAddress, ReportedOnceAndNothingIsSent)
{
    setenv("TAMOVOX_VOICE_SERVER", "voice.example", 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(setupSockets(), 0);
    const std::uint8_t byte = 0;
    EXPECT_EQ(sendToVoiceServer(shared().sockets.voiceSocket, &byte, 1, 30000), -1);
    listRequest(30000);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("voice.example"), std::string::npos);
    EXPECT_EQ(shared().lamps.voiceLink, 1);
    EXPECT_EQ(shared().lamps.supervisorLink, 1);
}

}  // namespace
}  // namespace tamovox
