// Tamo-Vox, the push-to-talk client of a leisure telephony voice network.
#include "core/startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tamo-Vox");
    return tamovox::runClient();
}
