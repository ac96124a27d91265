// Tamo-Vox, the push-to-talk client of a leisure telephony voice network.
#include "app/startup.h"
#include "platform/machine_identity.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
// "--print-machine-id": the identifier the web server knows this PC by, for enrolment scripts.
int printMachineId()
{
    const char* forced = std::getenv("TAMOVOX_MACHINE_ID");
    const std::string id = forced && tamovox::isMachineIdText(forced) ? std::string(forced) : tamovox::deriveMachineId();
    std::printf("%s\n", id.c_str());
    return 0;
}
}  // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--print-machine-id") == 0)
        return printMachineId();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tamo-Vox");
    const int exitCode = tamovox::runClient();
    // The transport and render threads run until the process ends: leave without running the
    // static destructors of what they still use. _exit rather than std::_Exit: the same for us,
    // but a sanitizer build sees it and can still report and set the exit status.
    std::fflush(nullptr);
    _exit(exitCode);
}
