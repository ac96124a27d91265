#include "core/lifecycle_log.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tamovox {

namespace {
std::mutex g_logLock;
std::vector<std::string> g_steps;
}  // namespace

void logLifecycle(const std::string& step)
{
    std::lock_guard lock(g_logLock);
    g_steps.push_back(step);
    if (std::getenv("TAMOVOX_LOG"))
        std::fprintf(stderr, "tamovox: %s\n", step.c_str());
}

std::vector<std::string> lifecycleSteps()
{
    std::lock_guard lock(g_logLock);
    return g_steps;
}

void logDiagnostic(const std::string& line)
{
    std::fprintf(stderr, "tamovox: %s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace tamovox
