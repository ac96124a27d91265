#include "imaging/animation.h"

#include "core/message_box.h"
#include "core/shared_state.h"
#include "mainwindow/main_window.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QTimer>

namespace tamovox {

namespace {

constexpr int kAnimationX = 350;
constexpr int kAnimationY = 450;

AnimationFrames g_animation;
int g_nextFrame = 0;

}  // namespace

AnimationFrames readAnimationFrames(const QString& path)
{
    AnimationFrames result;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QImage frame;
    while (reader.read(&frame)) {
        const int delay = reader.nextImageDelay();
        QImage scaled(kAnimationSide, kAnimationSide, QImage::Format_ARGB32);
        scaled.fill(Qt::transparent);
        {
            QPainter painter(&scaled);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(0, 0, kAnimationSide, kAnimationSide), frame);
        }
        result.frames.push_back(scaled);
        result.delays.push_back(delay > 0 ? delay : kDefaultFrameDelayMs);
        if (!reader.supportsAnimation())
            break;
    }
    return result;
}

void loadAnimation()
{
    MainWindow* window = mainWindow();
    if (!QFileInfo::exists(kAnimationFile)) {
        showMessageBox(window,
                       QString::fromUtf8("Il manque un fichier *.gif dans\nl’installation de Tamo-Vox\nL’application Tamo-Vox va\n"
                                         "être stopper. Cliquez sur OK\n"),
                       "Tamo-Vox System", BoxIcon::Error);
        if (window)
            QMetaObject::invokeMethod(window, [window] { window->destroyWindow(); }, Qt::QueuedConnection);
        return;
    }
    g_animation = readAnimationFrames(kAnimationFile);
    g_nextFrame = 0;
    if (g_animation.frames.empty() || !window)
        return;  // an undecodable file leaves the area empty
    auto* timer = new QTimer(window);
    timer->setObjectName("timer-4");
    QObject::connect(timer, &QTimer::timeout, [] { animationStep(); });
    timer->start(g_animation.delays.front());
    shared().timers.animation = timer;
}

void animationStep()
{
    MainWindow* window = mainWindow();
    const int count = static_cast<int>(g_animation.frames.size());
    if (!window || count == 0 || g_nextFrame >= count)
        return;
    {
        QPainter painter(&window->canvas());
        painter.drawImage(QPoint(kAnimationX, kAnimationY), g_animation.frames[g_nextFrame]);
    }
    window->flush({kAnimationX, kAnimationY, kAnimationX + kAnimationSide, kAnimationY + kAnimationSide});
    g_nextFrame = (g_nextFrame + 1) % count;
}

int animationNextFrame() { return g_nextFrame; }

}  // namespace tamovox
