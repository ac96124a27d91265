// Two tamovox clients in a call: what each user hears, the Opus path's channels, and a call that
// survives its sound server and its voice server going away and coming back.
//
// Push-to-talk is the space bar, sent with xdotool to the client's window under Xvfb: the same
// path as a user's key press. Each test has its own daemon, voice server address and display.
#include "call_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

namespace tamovox::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kRate = 8000;
constexpr double kSilenceRms = 100;  // far below the 440 Hz mouth, which arrives at about 11000
constexpr double kToneRms = 2000;

struct Heard {
    std::vector<std::int16_t> a, b;
};

class Call : public ::testing::Test {
protected:
    void startCall(int lastOctet)
    {
        if (std::string why = CallNetwork::missingPrerequisite(); !why.empty())
            GTEST_SKIP() << why;
        net = std::make_unique<CallNetwork>(lastOctet);
        ASSERT_TRUE(net->startPulse({"earA", "earB", "--mouth", "mouthA=440", "--mouth", "mouthB=660"}));
        ASSERT_TRUE(net->startVoiceServer());
        ASSERT_TRUE(net->startDisplay());
        a = net->startClient({"a", "1000000000000001", "mouthA.monitor", "earA"});
        b = net->startClient({"b", "1000000000000002", "mouthB.monitor", "earB"});
        windowA = net->mainWindowOf(a);
        windowB = net->mainWindowOf(b);
        ASSERT_NE(windowA, 0u) << readFile(a.log);
        ASSERT_NE(windowB, 0u) << readFile(b.log);
        std::this_thread::sleep_for(2s);  // hellos and presence reach the server
    }

    // Holds space on one window and records both ears while the sound flows.
    Heard talk(unsigned long window)
    {
        Heard heard;
        EXPECT_TRUE(net->keyDown(window, "space"));
        std::this_thread::sleep_for(1200ms);  // playback drains, microphone opens, playout fills
        auto earA = std::async(std::launch::async, [&] { return record(net->pulseServer(), "earA.monitor", kRate, 1000); });
        heard.b = record(net->pulseServer(), "earB.monitor", kRate, 1000);
        heard.a = earA.get();
        EXPECT_TRUE(net->keyUp(window, "space"));
        std::this_thread::sleep_for(800ms);
        return heard;
    }

    void keepRecording(const std::string& name, const std::vector<std::int16_t>& v)
    {
        if (const char* keep = std::getenv("TAMOVOX_KEEP_TEST_DIR"); keep && *keep)
            writeRaw(net->dir() + "/" + name + ".raw", v);
    }
    void expectTone(const std::vector<std::int16_t>& v, double hz, const char* who)
    {
        SCOPED_TRACE(who);
        ASSERT_FALSE(v.empty());
        keepRecording(who, v);
        EXPECT_GT(rms(v, 0), kToneRms);
        EXPECT_NEAR(crossingFrequency(v, 0, kRate), hz, hz * 0.02);
    }
    void expectSilence(const std::vector<std::int16_t>& v, const char* who)
    {
        SCOPED_TRACE(who);
        ASSERT_FALSE(v.empty());
        EXPECT_LT(rms(v, 0), kSilenceRms);
        EXPECT_LT(rms(v, 1), kSilenceRms);
    }

    void TearDown() override
    {
        if (net && HasFailure())
            for (const Child* c : {&a, &b})
                std::fprintf(stderr, "---- %s\n%s\n", c->log.c_str(), readFile(c->log).c_str());
    }

    std::unique_ptr<CallNetwork> net;
    Child a, b;
    unsigned long windowA = 0, windowB = 0;
};

TEST_F(Call, EachHearsTheOtherAndNeverItself)
{
    startCall(71);
    Heard first = talk(windowA);
    expectTone(first.b, 440, "B hears A");
    expectSilence(first.a, "A does not hear itself");
    // After the release both listen again: now B talks and A hears it.
    Heard second = talk(windowB);
    expectTone(second.a, 660, "A hears B");
    expectSilence(second.b, "B does not hear itself");
    EXPECT_TRUE(alive(a));
    EXPECT_TRUE(alive(b));
}

TEST_F(Call, OpusStreamKeepsLeftAndRightApart)
{
    startCall(72);
    const std::string wav = net->dir() + "/stereo.wav";
    ASSERT_TRUE(writeStereoToneWav(wav, 8000, 8.0, 440, 880));
    ASSERT_TRUE(net->keyDown(windowB, "9"));  // channel 9
    ASSERT_TRUE(net->keyUp(windowB, "9"));
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(net->voiceServerCommand({"stream", "9", wav}));
    std::this_thread::sleep_for(2500ms);  // the render path holds up to a second
    constexpr int kRenderRecordRate = 16000;
    const std::vector<std::int16_t> heard = record(net->pulseServer(), "earB.monitor", kRenderRecordRate, 2000);
    ASSERT_FALSE(heard.empty());
    keepRecording("opus", heard);
    EXPECT_NEAR(crossingFrequency(heard, 0, kRenderRecordRate), 440, 440 * 0.02);
    EXPECT_NEAR(crossingFrequency(heard, 1, kRenderRecordRate), 880, 880 * 0.02);
    // Each tone only on its own side: mixed channels would put both tones in both.
    EXPECT_GT(tonePower(heard, 0, kRenderRecordRate, 440), 100 * tonePower(heard, 0, kRenderRecordRate, 880));
    EXPECT_GT(tonePower(heard, 1, kRenderRecordRate, 880), 100 * tonePower(heard, 1, kRenderRecordRate, 440));
    // Late packets must not cut gaps into the stream.
    EXPECT_EQ(irregularPeriods(heard, 0, kRenderRecordRate, 440), 0);
    EXPECT_EQ(irregularPeriods(heard, 1, kRenderRecordRate, 880), 0);
    // A, on channel 0, hears none of it.
    expectSilence(record(net->pulseServer(), "earA.monitor", kRate, 500), "A on another channel");
}

TEST_F(Call, SurvivesItsSoundServerAndVoiceServerComingBack)
{
    startCall(73);
    expectTone(talk(windowA).b, 440, "before");

    ASSERT_TRUE(net->restartPulse());
    std::this_thread::sleep_for(3s);  // the clients retry their streams every second
    EXPECT_TRUE(alive(a));
    EXPECT_TRUE(alive(b));
    expectTone(talk(windowA).b, 440, "after the sound server came back");

    net->stopVoiceServer();
    Heard cut = talk(windowA);
    expectSilence(cut.b, "no voice server, no sound");
    EXPECT_TRUE(alive(a));
    EXPECT_TRUE(alive(b));
    ASSERT_TRUE(net->startVoiceServer());
    std::this_thread::sleep_for(3s);  // presence brings the clients back onto the server's channel
    expectTone(talk(windowA).b, 440, "after the voice server came back");
    EXPECT_NE(readFile(a.log).find("pas de serveur de son"), std::string::npos) << "the loss was reported";
}

// A microphone that the running sound server refuses is the one fatal audio case: the user is told
// (two boxes) when push-to-talk is first pressed, then the client ends with exit code 1.
TEST_F(Call, AMicrophoneTheServerRefusesEndsTheClientWithItsMessages)
{
    if (std::string why = CallNetwork::missingPrerequisite(); !why.empty())
        GTEST_SKIP() << why;
    net = std::make_unique<CallNetwork>(74);
    ASSERT_TRUE(net->startPulse({"earA", "--mouth", "mouthA=440"}));
    ASSERT_TRUE(net->startVoiceServer());
    ASSERT_TRUE(net->startDisplay());
    a = net->startClient({"a", "1000000000000001", "no-such-microphone", "earA"});
    windowA = net->mainWindowOf(a);
    ASSERT_NE(windowA, 0u) << readFile(a.log);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(alive(a)) << "listening needs no microphone";
    ASSERT_TRUE(net->keyDown(windowA, "space"));
    EXPECT_EQ(waitExit(a, 10000), 1);
    net->keyUp(windowA, "space");
    const std::string log = readFile(a.log);
    EXPECT_NE(log.find("tamovox: message: Erreur Système Windows | Windows semble avoir un problème système !"), std::string::npos) << log;
    EXPECT_NE(log.find("tamovox: message: Identification du problème | Erreur d'ouverture du périphérique d'enregistrement."),
              std::string::npos)
        << log;
}

}  // namespace
}  // namespace tamovox::e2e
