// First cut: reports a missing animation file; frames land with the imaging helpers.
#include "imaging/animation.h"

#include "core/message_box.h"
#include "mainwindow/main_window.h"

#include <QFileInfo>

namespace tamovox {

void loadAnimation()
{
    if (QFileInfo::exists(kAnimationFile))
        return;
    showMessageBox(mainWindow(),
                   QString::fromUtf8("Il manque un fichier *.gif dans\nl’installation de Tamo-Vox\nL’application Tamo-Vox va\n"
                                     "être stopper. Cliquez sur OK\n"),
                   "Tamo-Vox System", BoxIcon::Error);
    if (MainWindow* window = mainWindow())
        QMetaObject::invokeMethod(window, [window] { window->destroyWindow(); }, Qt::QueuedConnection);
}

void animationStep() {}

}  // namespace tamovox
