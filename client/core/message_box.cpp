#include "core/message_box.h"

#include "core/lifecycle_log.h"
#include "core/main_thread_jobs.h"
#include "core/shared_state.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>

namespace tamovox {

namespace {
QMessageBox::Icon toQtIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

int unattendedSeconds()
{
    const char* value = std::getenv("TAMOVOX_UNATTENDED");
    if (!value || !*value)
        return -1;
    const int seconds = std::atoi(value);
    return seconds < 0 ? 0 : seconds;
}
}  // namespace

void showMessageBox(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon)
{
    logDiagnostic(("message: " + caption + " | " + text).toStdString());
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::Ok, owner);
    const int seconds = unattendedSeconds();
    if (seconds >= 0)
        QTimer::singleShot(seconds * 1000, &box, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
}

void showMessageBoxFromWorker(const QString& text, const QString& caption, BoxIcon icon)
{
    if (!QCoreApplication::instance())
        return;
    runOnMainThread([&] { showMessageBox(shared().windows.mainWindow.load(), text, caption, icon); });
}

}  // namespace tamovox
