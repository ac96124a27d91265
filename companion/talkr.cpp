// talkr, the speech companion: speaks the texts the client sends with espeak-ng, quits on
// request, and keys the client's push-to-talk from its keyboard ("t" + Enter presses, "r" +
// Enter releases). It listens on 127.0.0.1 only and answers the address the client wrote from.
#include "core/windows1252.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

constexpr int kDefaultPort = 5555;
constexpr unsigned char kSpeechText = 0x01;
constexpr unsigned char kQuit = 0xFF;

pid_t g_speaker = -1;

void stopSpeaking()
{
    if (g_speaker > 0) {
        kill(g_speaker, SIGTERM);
        waitpid(g_speaker, nullptr, 0);
        g_speaker = -1;
    }
}

// A new text cuts the one being spoken, as a help tip replaces the previous one.
void speak(const std::string& utf8, const char* voice)
{
    stopSpeaking();
    const char* argv[] = {"espeak-ng", "-v", voice, "--", utf8.c_str(), nullptr};
    if (posix_spawnp(&g_speaker, "espeak-ng", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::fprintf(stderr, "talkr: espeak-ng introuvable, texte non prononcé\n");
        g_speaker = -1;
    }
}

void usage()
{
    std::fprintf(stderr,
                 "usage: talkr [--port N] [--voice V]\n"
                 "  Prononce les textes envoyés par Tamo-Vox (UDP 127.0.0.1:5555).\n"
                 "  Au clavier : t + Entrée appuie sur l'alternat, r + Entrée le relâche, q + Entrée quitte.\n");
}

}  // namespace

int main(int argc, char* argv[])
{
    int port = kDefaultPort;
    const char* voice = "fr";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--port") && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--voice") && i + 1 < argc) {
            voice = argv[++i];
        } else {
            usage();
            return !std::strcmp(argv[i], "--help") ? 0 : 2;
        }
    }
    if (port <= 0 || port > 65535) {
        usage();
        return 2;
    }
    signal(SIGCHLD, SIG_DFL);
    const int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (sock < 0 || bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "talkr: le port 127.0.0.1:%d est déjà pris (%s)\n", port, std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "talkr: à l'écoute sur 127.0.0.1:%d\n", port);

    sockaddr_in client{};
    bool haveClient = false;
    pollfd fds[2] = {{sock, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        if (poll(fds, isatty(STDIN_FILENO) ? 2 : 1, 1000) < 0 && errno != EINTR)
            break;
        if (g_speaker > 0 && waitpid(g_speaker, nullptr, WNOHANG) == g_speaker)
            g_speaker = -1;
        if (fds[0].revents & POLLIN) {
            unsigned char buffer[1024];
            socklen_t length = sizeof client;
            const ssize_t n = recvfrom(sock, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&client), &length);
            if (n <= 0)
                continue;
            haveClient = true;
            if (buffer[0] == kQuit)
                break;
            if (buffer[0] == kSpeechText && n > 1)
                speak(tamovox::windows1252ToUtf8(std::string(reinterpret_cast<char*>(buffer) + 1, static_cast<std::size_t>(n - 1))),
                      voice);
        }
        if (fds[1].revents & POLLIN) {
            char line[64];
            if (!std::fgets(line, sizeof line, stdin))
                break;
            const char key = line[0];
            if (key == 'q')
                break;
            if ((key == 't' || key == 'r') && haveClient) {
                const char byte = key == 't' ? 'T' : 'R';
                sendto(sock, &byte, 1, 0, reinterpret_cast<sockaddr*>(&client), sizeof client);
            } else if (key == 't' || key == 'r') {
                std::fprintf(stderr, "talkr: aucun client Tamo-Vox ne s'est encore annoncé\n");
            }
        }
    }
    stopSpeaking();
    close(sock);
    return 0;
}
