#include "app/termination_signals.h"

#include "core/lifecycle_log.h"
#include "mainwindow/main_window.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tamovox {

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &byte, 1);  // async-signal-safe hand-off
}
}  // namespace

void installTerminationSignals()
{
    if (g_signalPipe[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        [[maybe_unused]] ssize_t n = read(g_signalPipe[0], bytes, sizeof bytes);
        logLifecycle("signal: termination requested");
        if (MainWindow* window = mainWindow())
            window->destroyWindow();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace tamovox
