// Who is talking, as the listener sees it: two enrolled clients in a call, the web server holding
// their profiles and portraits, and the listener's window read back pixel by pixel.
#include "../server_web/web_server_process.h"
#include "call_fixture.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace tamovox::e2e {
namespace {

using tamovox::testing::WebServerProcess;

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr int kBorderX = 2;  // on the main window's yellow outline
constexpr int kBorderY = 365;
constexpr QRgb kPictureA = qRgb(40, 60, 220);
constexpr QRgb kPictureB = qRgb(30, 200, 90);
constexpr int kSide = 64;
constexpr int kLeft = 10;  // where the speaker's picture goes on the main window
constexpr int kTop = 340;

bool near(QRgb seen, QRgb wanted)
{
    return std::abs(qRed(seen) - qRed(wanted)) <= 4 && std::abs(qGreen(seen) - qGreen(wanted)) <= 4 &&
           std::abs(qBlue(seen) - qBlue(wanted)) <= 4;
}

std::string hex(QRgb c) { return QColor(c).name().toStdString(); }

bool writeSolidPng(const std::string& path, QRgb colour)
{
    QImage image(kSide, kSide, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(QString::fromStdString(path), "PNG");
}

constexpr int kArrivalMs = 30000;  // generous: only a fault takes this long, a busy machine does not

class SpeakerDisplay : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (net && HasFailure()) {
            for (const Child* c : {&a, &b})
                std::fprintf(stderr, "---- %s\n%s\n", c->log.c_str(), readFile(c->log).c_str());
            std::fprintf(stderr, "---- display\n%s\n", readFile(net->displayLog()).c_str());
            if (server)
                std::fprintf(stderr, "---- web server\n%s\n", server->log().toStdString().c_str());
        }
    }

    QImage capture(unsigned long window, const char* name)
    {
        const std::string path = net->dir() + "/" + name + ".png";
        EXPECT_TRUE(net->captureWindow(window, path));
        return QImage(QString::fromStdString(path));
    }

    std::unique_ptr<CallNetwork> net;
    std::unique_ptr<WebServerProcess> server;
    Child a, b;
};

TEST_F(SpeakerDisplay, TheListenerSeesTheTalkersPictureAndProfileAndNeverItsOwn)
{
    if (std::string why = CallNetwork::missingPrerequisite(); !why.empty())
        GTEST_SKIP() << why;
    if (std::system("command -v import >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "import is not installed (tools/deps.sh: imagemagick)";
    net = std::make_unique<CallNetwork>();
    server = std::make_unique<WebServerProcess>(TAMOVOX_WEB_SERVER_BINARY);
    ASSERT_TRUE(server->started()) << server->log().toStdString();

    const std::string pictureA = net->dir() + "/a.png";
    const std::string pictureB = net->dir() + "/b.png";
    ASSERT_TRUE(writeSolidPng(pictureA, kPictureA));
    ASSERT_TRUE(writeSolidPng(pictureB, kPictureB));
    // B's texts take both paths of the profile: "é" travels as an entity, "É" as plain UTF-8.
    ASSERT_GT(server->enrol("2000000000000001", "Alain Martin",
                            {"--first-name", "Alain", "--city", "Lyon", "--phrase", "Alain vous parle", "--picture",
                             QString::fromStdString(pictureA)}),
              0)
        << server->lastError().toStdString();
    ASSERT_GT(server->enrol("2000000000000002", "Hélène Roy",
                            {"--first-name", "Hélène", "--city", "Saint-Étienne", "--phrase", "Ici Hélène, à vous",
                             "--picture", QString::fromStdString(pictureB)}),
              0)
        << server->lastError().toStdString();

    ASSERT_TRUE(net->startPulse({"earA", "earB", "--mouth", "mouthA=440", "--mouth", "mouthB=660"})) << net->why();
    ASSERT_TRUE(net->startVoiceServer()) << net->why();
    ASSERT_TRUE(net->startDisplay()) << net->why();
    const std::vector<std::string> web = {"TAMOVOX_WEB_URL=" + server->url().toStdString(),
                                          "TAMOVOX_CA_FILE=" + server->caFile().toStdString(), "NO_PROXY=*"};
    a = net->startClient({"a", "2000000000000001", "mouthA.monitor", "earA", web});
    b = net->startClient({"b", "2000000000000002", "mouthB.monitor", "earB", web});
    const unsigned long windowA = net->mainWindowOf(a);
    const unsigned long windowB = net->mainWindowOf(b);
    ASSERT_NE(windowA, 0u);
    ASSERT_NE(windowB, 0u);
    ASSERT_TRUE(net->moveWindow(windowB, 640, 0));  // B opened on top of A
    // Logged in, so their datagrams carry their own account numbers.
    ASSERT_TRUE(waitForText(a.log, "greeting: Bonjour Alain Martin.", kArrivalMs));
    ASSERT_TRUE(waitForText(b.log, "greeting: Bonjour Hélène Roy.", kArrivalMs));

    // Nobody has talked: no frame, no picture.
    // Once painted, the capture shows A's window, uncovered, with its yellow outline.
    QImage before;
    ASSERT_TRUE(waitUntil(
        [&] {
            before = capture(windowA, "before");
            return before.height() > kTop + kSide && near(before.pixel(kBorderX, kBorderY), kYellow);
        },
        kArrivalMs, 200))
        << "A's window never showed painted and uncovered";
    EXPECT_FALSE(near(before.pixel(kLeft, kTop), kRed)) << hex(before.pixel(kLeft, kTop));
    EXPECT_FALSE(near(before.pixel(kLeft + kSide / 2, kTop + kSide / 2), kPictureA));

    const std::string bOnA = "tamovox: speaker profile: Hélène | Saint-Étienne | Ici Hélène, à vous";
    ASSERT_TRUE(net->keyDown(windowB, "space"));
    // The speaker timer ticks each second; B's voice must first reach A.
    const bool profileShown = waitForText(a.log, bOnA, kArrivalMs);
    // The picture is drawn just before the profile, on the same tick; the capture may still catch
    // the window before its flush reaches the screen.
    QImage during;
    waitUntil(
        [&] {
            during = capture(windowA, "during");
            return during.height() > kTop && near(during.pixel(kLeft, kTop), kRed);
        },
        10000, 200);
    EXPECT_TRUE(net->keyUp(windowB, "space"));
    EXPECT_TRUE(profileShown) << "A never showed B's profile";

    ASSERT_GT(during.height(), kTop + kSide);
    struct Probe {
        const char* where;
        int x, y;
        QRgb colour;
    };
    const Probe probes[] = {
        {"frame, top left", kLeft, kTop, kRed},
        {"frame, top edge", kLeft + kSide / 2, kTop, kRed},
        {"frame, left edge", kLeft, kTop + kSide / 2, kRed},
        {"frame, right edge", kLeft + kSide - 1, kTop + kSide / 2, kRed},
        {"frame, bottom right", kLeft + kSide - 1, kTop + kSide - 1, kRed},
        {"picture, just inside the one-pixel frame", kLeft + 1, kTop + 1, kPictureB},
        {"picture, middle", kLeft + kSide / 2, kTop + kSide / 2, kPictureB},
        {"picture, just inside bottom right", kLeft + kSide - 2, kTop + kSide - 2, kPictureB},
    };
    for (const Probe& p : probes) {
        SCOPED_TRACE(p.where);
        EXPECT_TRUE(near(during.pixel(p.x, p.y), p.colour)) << hex(during.pixel(p.x, p.y)) << " wanted " << hex(p.colour);
    }
    EXPECT_FALSE(near(during.pixel(kLeft + kSide, kTop + kSide / 2), kRed)) << "the frame is the picture's size";

    // Neither shows itself: A never talked, and B's own voice never comes back to B.
    EXPECT_EQ(readFile(a.log).find("speaker profile: Alain"), std::string::npos);
    EXPECT_EQ(readFile(b.log).find("speaker profile: Hélène"), std::string::npos);
    EXPECT_TRUE(alive(a));
    EXPECT_TRUE(alive(b));
}

}  // namespace
}  // namespace tamovox::e2e
