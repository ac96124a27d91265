#include "app/skin_files.h"

#include "core/message_box.h"
#include "core/shared_state.h"
#include "mainwindow/main_window.h"

#include <cstdio>
#include <vector>

namespace tamovox {

namespace {

enum class Reference { FileName, Other };

void reportMissing(const QString& reference, Reference kind)
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    const QString caption = QString::fromUtf8(kind == Reference::FileName
                                                  ? "Le programme va s'arrêter\ncar il manque le fichier\nREF: "
                                                  : "Le programme va s'arrêter\ncar il manque un fichier\nREF: ");
    window->setEnabled(false);
    showMessageBox(window, reference, caption, BoxIcon::Question);
    window->setEnabled(true);
    window->destroyWindow();
}

QImage loadBitmap(const char* file) { return QImage(QString::fromUtf8(file)); }

}  // namespace

void loadKnobBitmaps()
{
    SkinImages& skin = shared().skin;
    for (auto [image, file] : {std::pair{&skin.knobArrow, "btn-fleche.bmp"}, std::pair{&skin.knobParams, "btn-param.bmp"}}) {
        *image = loadBitmap(file);
        if (image->isNull())
            reportMissing(QString::fromUtf8(file), Reference::FileName);
    }
}

void loadIconBitmaps()
{
    SkinImages& skin = shared().skin;
    skin.documentationIcon = loadBitmap("doc_img.bmp");
    if (skin.documentationIcon.isNull())
        reportMissing("DOC-IMG", Reference::Other);
    skin.speechIcon = loadBitmap("synthe_1.bmp");
    if (skin.speechIcon.isNull())
        reportMissing("SYNTHE-IMG", Reference::Other);
}

void loadChannelBitmaps()
{
    SkinImages& skin = shared().skin;
    std::vector<bool> missing(kChannelCount);
    for (int slot = 0; slot < kChannelCount; ++slot) {
        char file[16];
        std::snprintf(file, sizeof file, "%d.bmp", slot);
        skin.channel[slot] = loadBitmap(file);
        missing[slot] = skin.channel[slot].isNull();
    }
    // Checked from the load results: the first report's destroy handling empties every slot.
    for (int slot = 0; slot < kChannelCount; ++slot)
        if (missing[slot])
            reportMissing("CHANNEL-NUM", Reference::Other);
}

}  // namespace tamovox
