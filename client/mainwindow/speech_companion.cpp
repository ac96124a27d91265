#include "mainwindow/speech_companion.h"

#include "core/lifecycle_log.h"
#include "core/shared_state.h"
#include "core/text_field.h"
#include "mainwindow/texts.h"
#include "transport/transport_threads.h"

#include <QCoreApplication>

#include <dirent.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

extern char** environ;

namespace tamovox {

namespace {

void setStatusText(const char* text)
{
    copyTextField(shared().appearance.statusText, sizeof shared().appearance.statusText, text);
}

bool startCompanion(const std::string& path)
{
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    const int result = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
    if (result != 0) {
        logDiagnostic("talkr: " + path + ": " + std::strerror(result));
        return false;
    }
    return true;
}

}  // namespace

bool companionRunning(const std::string& procRoot)
{
    DIR* dir = opendir(procRoot.c_str());
    if (!dir)
        return false;  // no process list: counts as not running
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        std::ifstream comm(procRoot + "/" + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && strcasecmp(name.c_str(), kCompanionProgram) == 0) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

void toggleSpeechCompanion()
{
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty()) {
        setStatusText(kCompanionNoFolder);
        return;
    }
    const std::string path = (folder + "/" + kCompanionProgram).toStdString();
    if (companionRunning()) {
        setStatusText(kCompanionClosing);
        quitCompanion();  // the companion ends itself on this datagram
        return;
    }
    // Unlike a silent failure, a companion that cannot start says so in the status box.
    setStatusText(startCompanion(path) ? kCompanionLoaded : kCompanionNotStarted);
}

}  // namespace tamovox
