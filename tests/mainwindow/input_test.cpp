// Keys and clicks of the main window: channel keys, push-to-talk, the orderly end, the toggles,
// the speech companion and the help line texts.
#include "window_fixture.h"

#include "audio/volume.h"
#include "core/text_field.h"
#include "mainwindow/input.h"
#include "mainwindow/panels.h"
#include "mainwindow/speech_companion.h"
#include "mainwindow/texts.h"
#include "mainwindow/window_toggles.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace tamovox;

int manualPushToTalk()
{
    std::lock_guard lock(shared().pushToTalk.pushToTalkLock);
    return shared().pushToTalk.manualState;
}

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(test::openWindow(), &event);
}

void release(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false)
{
    QKeyEvent event(QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
    QCoreApplication::sendEvent(test::openWindow(), &event);
}

TEST(MainWindowInput, ChannelKeysSetThePortAndClearTheCount)
{
    test::openWindow();
    struct Case {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        int port;  // expected afterwards
    } cases[] = {
        {"digit 5", Qt::Key_5, Qt::NoModifier, 30005},
        {"keypad 3", Qt::Key_3, Qt::KeypadModifier, 30003},
        {"digit 0", Qt::Key_0, Qt::NoModifier, 30000},
        {"keypad plus", Qt::Key_Plus, Qt::KeypadModifier, 30010},
        {"keypad 9", Qt::Key_9, Qt::KeypadModifier, 30009},
        {"main plus selects nothing", Qt::Key_Plus, Qt::NoModifier, 30009},
        {"letter selects nothing", Qt::Key_A, Qt::NoModifier, 30009},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        shared().channel.currentChannelCount = 7;
        press(c.key, c.modifiers);
        EXPECT_EQ(shared().channel.channelPort.load(), c.port);
        const bool selects = c.port != 30009 || c.key == Qt::Key_9;
        EXPECT_EQ(shared().channel.currentChannelCount.load(), selects ? -1 : 7);
    }
}

TEST(MainWindowInput, SpaceBarHoldsPushToTalkUntilTheRealRelease)
{
    test::openWindow();
    shared().idle.idleCountdown = 5;
    press(Qt::Key_Space);
    EXPECT_EQ(manualPushToTalk(), kPttPressed);
    // A held bar: repeated presses and the releases the repeat interleaves change nothing.
    for (int i = 0; i < 3; ++i) {
        release(Qt::Key_Space, Qt::NoModifier, /*autoRepeat=*/true);
        EXPECT_EQ(manualPushToTalk(), kPttPressed);
        press(Qt::Key_Space, Qt::NoModifier, /*autoRepeat=*/true);
        EXPECT_EQ(manualPushToTalk(), kPttPressed);
    }
    EXPECT_EQ(shared().idle.idleCountdown.load(), 5) << "repeats are not key releases";
    release(Qt::Key_Space);
    EXPECT_EQ(manualPushToTalk(), kPttReleased);
    EXPECT_EQ(shared().idle.idleCountdown.load(), 1800);
    // Any key's release resets the countdown too, even a key without a function.
    shared().idle.idleCountdown = 5;
    press(Qt::Key_A);
    release(Qt::Key_A);
    EXPECT_EQ(shared().idle.idleCountdown.load(), 1800);
    EXPECT_EQ(manualPushToTalk(), kPttReleased);
}

TEST(MainWindowInput, EscapeEndsInTheDestroyHandling)
{
    MainWindow* window = test::openWindow();
    press(Qt::Key_Escape);
    EXPECT_FALSE(window->isDestroyed()) << "posted, not run from inside the key handling";
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->isDestroyed());
    EXPECT_TRUE(quitPosted());
    EXPECT_TRUE(shared().skin.channel[0].isNull()) << "channel bitmaps released";
}

TEST(MainWindowInput, CloseRequestEndsInTheDestroyHandling)
{
    MainWindow* window = test::openWindow();
    window->close();  // Alt+F4 or the window manager's close
    EXPECT_TRUE(window->isDestroyed());
    EXPECT_TRUE(quitPosted());
}

TEST(MainWindowInput, ClicksToggleWindowsAndTurnKnobs)
{
    test::openWindow();
    SharedState& s = shared();
    paintKnobPanel();  // sets the knobs' hit rectangles
    ASSERT_GT(s.layout.knobVolume.width(), 0);
    const Rect v = s.layout.knobVolume;
    const int cx = v.left + v.width() / 2;
    const int cy = v.top + v.height() / 2;
    handleLeftButtonDown(v.right + 10, cy);  // right of the knob, within its grown rectangle
    EXPECT_NEAR(getRenderVolume(), 0.9f, 0.01f);
    handleLeftButtonDown(cx + 1, cy + 20);  // just right of straight below: past 300 degrees
    EXPECT_NEAR(getRenderVolume(), 1.0f, 0.001f);
    handleLeftButtonDown(cx, cy + 20);  // straight below
    EXPECT_NEAR(getRenderVolume(), 0.0f, 0.001f);

    // Channel frame: the group list opens, then closes.
    handleLeftButtonDown(100, 150);
    EXPECT_EQ(s.windows.groupWindowOpen.load(), 1);
    handleLeftButtonDown(100, 150);
    EXPECT_EQ(s.windows.groupWindowOpen.load(), 0);
    // The animation opens the canvas only off channel 0.
    s.channel.channelPort = 30000;
    handleLeftButtonDown(420, 520);
    EXPECT_EQ(s.windows.canvasWindowOpen.load(), 0);
    s.channel.channelPort = 30004;
    handleLeftButtonDown(420, 520);
    EXPECT_EQ(s.windows.canvasWindowOpen.load(), 1);
    handleLeftButtonDown(420, 520);
    EXPECT_EQ(s.windows.canvasWindowOpen.load(), 0);
    // The drag strip is the caption, tested first: the top band of the channel frame drags.
    EXPECT_TRUE(handleLeftButtonDown(300, 90));
    EXPECT_TRUE(handleLeftButtonDown(100, 90));
    EXPECT_EQ(s.windows.groupWindowOpen.load(), 0) << "a press on the caption opened the group list";
    EXPECT_FALSE(handleLeftButtonDown(100, 150));  // below the strip the frame is a button again
    EXPECT_EQ(s.windows.groupWindowOpen.load(), 1);
    handleLeftButtonDown(100, 150);
    EXPECT_FALSE(handleLeftButtonDown(300, 400));
}

// A window whose creation fails leaves the flag and handle clear, so the next click tries again.
std::atomic<int> g_open{0};
QWidget* g_handle = nullptr;
int g_attempts = 0;
QWidget* failingCreate()
{
    ++g_attempts;
    return nullptr;
}
QWidget* realCreate()
{
    ++g_attempts;
    return new QWidget;
}

TEST(SecondaryWindows, FailedCreationLetsTheNextClickRetry)
{
    test::openWindow();
    toggleSecondaryWindow(g_open, g_handle, failingCreate);
    EXPECT_EQ(g_open.load(), 0);
    EXPECT_EQ(g_handle, nullptr);
    toggleSecondaryWindow(g_open, g_handle, realCreate);
    EXPECT_EQ(g_attempts, 2) << "the second click tried again";
    EXPECT_EQ(g_open.load(), 1);
    ASSERT_NE(g_handle, nullptr);
    // Closed by its own means: the flag and the handle clear themselves.
    delete g_handle;
    EXPECT_EQ(g_open.load(), 0);
    EXPECT_EQ(g_handle, nullptr);
}

TEST(MainWindowInput, HelpLineTextsByRegion)
{
    test::openWindow();
    struct Case {
        int x, y;
        const char* text;
    } cases[] = {
        {420, 380, kHelpNetworkRing},   {100, 150, kHelpChannelFrame}, {330, 625, kHelpDocumentation},
        {420, 520, kHelpAnimation},     {450, 640, kHelpCredit},       {330, 560, kHelpSpeech},
        {300, 20, kHelpDragStrip},      {525, 25, kWelcomeText},       {50, 248, kWelcomeText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        handleMouseMove(c.x, c.y);
        EXPECT_STREQ(shared().appearance.helpLine, c.text);
    }
}

TEST(TextFields, HelpLineAndStatusTextKeepWholeCharacters)
{
    // A text that runs past each field with a two-byte character across the last byte.
    struct Case {
        char* field;
        std::size_t capacity;
    } cases[] = {
        {shared().appearance.helpLine, sizeof shared().appearance.helpLine},
        {shared().appearance.statusText, sizeof shared().appearance.statusText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capacity);
        std::string text(c.capacity - 2, 'a');
        text += "\xC3\xA9tait";  // é starts in the last byte that fits
        copyTextField(c.field, c.capacity, text);
        EXPECT_EQ(std::strlen(c.field), c.capacity - 2);
        EXPECT_TRUE(QString::fromUtf8(c.field).toUtf8() == QByteArray(c.field)) << "valid UTF-8";
    }
}

TEST(SpeechCompanion, FoundByCommandNameAndReportedWhenItCannotStart)
{
    namespace fs = std::filesystem;
    const fs::path proc = fs::temp_directory_path() / ("tamovox-proc-" + std::to_string(getpid()));
    fs::create_directories(proc / "12");
    fs::create_directories(proc / "self");
    std::ofstream(proc / "12" / "comm") << "bash\n";
    EXPECT_FALSE(companionRunning(proc.string()));
    fs::create_directories(proc / "345");
    std::ofstream(proc / "345" / "comm") << "TALKR\n";
    EXPECT_TRUE(companionRunning(proc.string())) << "case is ignored";
    EXPECT_FALSE(companionRunning((proc / "absent").string())) << "no process list: not running";
    fs::remove_all(proc);

    // No talkr beside the test binary: the status box says so instead of claiming success.
    if (companionRunning())
        GTEST_SKIP() << "a real companion runs on this machine";
    test::openWindow();
    toggleSpeechCompanion();
    EXPECT_STREQ(shared().appearance.statusText, kCompanionNotStarted);
}

}  // namespace
