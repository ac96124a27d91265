#include "mainwindow/main_window.h"

#include "core/shared_state.h"
#include "mainwindow/input.h"
#include "mainwindow/main_paint.h"
#include "platform/instance_lock.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QPainter>
#include <QScreen>

namespace tamovox {

namespace {
bool g_quitPosted = false;
bool g_mainLoopRunning = false;

QBitmap roundedMask()
{
    QBitmap mask(kMainWindowWidth, kMainWindowHeight);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(QRect(0, 0, kMainWindowWidth, kMainWindowHeight), 10, 10);
    return mask;
}
}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      canvas_(kMainWindowWidth, kMainWindowHeight, QImage::Format_ARGB32_Premultiplied)
{
    canvas_.fill(Qt::black);
    setWindowTitle("TAMO-VOX");
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMask(roundedMask());
}

void MainWindow::flush(const Rect& rect)
{
    update(QRect(rect.left, rect.top, rect.width(), rect.height()));
}

void MainWindow::destroyWindow()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    releaseInstanceLock();
    for (QImage& bitmap : shared().skin.channel)
        bitmap = QImage();
    hide();
    g_quitPosted = true;
    if (g_mainLoopRunning)
        QCoreApplication::exit(0);
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), canvas_, event->rect());
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The full static repaint runs when the window is shown (first time or after being hidden),
    // from the message loop like a paint request, once start-up has set the layout. Later
    // update() calls only blit the canvas.
    QMetaObject::invokeMethod(this, [] { paintMainWindow(); }, Qt::QueuedConnection);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Without a window manager nobody turns Alt+F4 into a close request: do it here.
    if (event->key() == Qt::Key_F4 && (event->modifiers() & Qt::AltModifier)) {
        close();
        return;
    }
    handleKeyDown(*event);
}
void MainWindow::keyReleaseEvent(QKeyEvent* event) { handleKeyUp(*event); }
void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    handleMouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (handleLeftButtonDown(p.x(), p.y())) {
            dragging_ = true;  // the drag strip acts as the caption
            dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        }
    } else if (event->button() == Qt::RightButton)
        handleRightButtonDown(p.x(), p.y());
}

void MainWindow::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Alt+F4 and the window manager's close go through the destroy handling.
    destroyWindow();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) { QWidget::changeEvent(event); }

MainWindow* mainWindow() { return static_cast<MainWindow*>(shared().windows.mainWindow.load()); }

MainWindow* createMainWindow()
{
    auto* window = new MainWindow();
    shared().windows.mainWindow = window;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window->move(area.x() + area.width() / 2 - kMainWindowWidth / 2, area.y() + area.height() / 2 - kMainWindowHeight / 2);
    }
    window->show();
    window->activateWindow();  // shown active, as a new top-level window is
    return window;
}

bool quitPosted() { return g_quitPosted; }
void setMainLoopRunning(bool running) { g_mainLoopRunning = running; }

}  // namespace tamovox
