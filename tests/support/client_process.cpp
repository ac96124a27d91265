#include "client_process.h"

#include <signal.h>

namespace tamovox::testing {

namespace {
constexpr int kPatienceMs = 60000;
}  // namespace

ClientProcess::ClientProcess(const std::string& binary, const std::string& skinDir, const std::vector<std::string>& env,
                             const std::string& logPath)
{
    child_ = spawnProgram({binary}, withEnv(env, skinDir), logPath);
}

bool ClientProcess::waitFor(const std::string& text) { return waitForOutput(child_, text, kPatienceMs); }

int ClientProcess::waitForExit()
{
    const int code = waitExit(child_, kPatienceMs);
    return child_.pid > 0 ? -1000 : code;
}

void ClientProcess::terminate()
{
    if (child_.pid > 0)
        kill(child_.pid, SIGTERM);
}

}  // namespace tamovox::testing
