#include "platform/instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tamovox {

namespace {
int g_lockFd = -1;

std::string lockPath(const char* name)
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (dir && *dir && access(dir, W_OK) == 0) ? dir : "/tmp";
    return folder + "/" + name + ".lock";
}
}  // namespace

InstanceLockResult acquireInstanceLock(const char* name)
{
    if (g_lockFd >= 0)
        return InstanceLockResult::Acquired;
    const int fd = open(lockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return InstanceLockResult::Failed;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        close(fd);
        return busy ? InstanceLockResult::AlreadyRunning : InstanceLockResult::Failed;
    }
    g_lockFd = fd;
    return InstanceLockResult::Acquired;
}

void releaseInstanceLock()
{
    if (g_lockFd < 0)
        return;
    flock(g_lockFd, LOCK_UN);
    close(g_lockFd);
    g_lockFd = -1;
}

}  // namespace tamovox
