// French message boxes. Main thread only; workers marshal with showMessageBoxFromWorker.
// Every box is also written to standard error. With TAMOVOX_UNATTENDED set (a scripted
// client with nobody at the screen) each box closes itself after that many seconds.
#pragma once

#include <QString>

class QWidget;

namespace tamovox {

enum class BoxIcon { None, Information, Warning, Error, Question };

// Shows a modal box with an OK button; owner may be null. Returns when it is closed.
void showMessageBox(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon);

// The same from any thread: blocks the caller until the main thread's box is closed.
void showMessageBoxFromWorker(const QString& text, const QString& caption, BoxIcon icon);

}  // namespace tamovox
