// The speech companion's text encoding and its quit datagram.
#include "core/windows1252.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

TEST(CompanionText, Windows1252RoundTrip)
{
    struct Case {
        const char* cp1252;
        const char* utf8;
    } cases[] = {
        {"Bonjour", "Bonjour"},
        {"synth\xE9tiseur cl\xE9", "synthétiseur clé"},
        {"\x80 \x9C", "€ œ"},
        {"\xC0 la gare", "À la gare"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(tamovox::windows1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(tamovox::utf8ToWindows1252(c.utf8), c.cp1252);
    }
    EXPECT_EQ(tamovox::utf8ToWindows1252("日本"), "??") << "characters outside the code page";
    EXPECT_EQ(tamovox::windows1252ToUtf8("\x81"), "?") << "an undefined byte";
}

TEST(CompanionProcess, QuitsOnTheQuitByte)
{
    // A port nothing holds now: the system's pick, released for the companion to bind.
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t anyLength = sizeof any;
    ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    getsockname(probe, reinterpret_cast<sockaddr*>(&any), &anyLength);
    close(probe);
    const int port = ntohs(any.sin_port);
    const std::string portText = std::to_string(port);
    const char* argv[] = {TALKR_BINARY, "--port", portText.c_str(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, TALKR_BINARY, nullptr, nullptr, const_cast<char**>(argv), environ), 0);

    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int status = -1;
    // Resend until the companion has bound its port and ended.
    for (int i = 0; i < 600 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
        const unsigned char quit = 0xFF;
        sendto(sock, &quit, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(sock);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "talkr did not quit";
    }
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
