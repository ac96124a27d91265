// The about box: the product line, the credit line and a short paragraph. Main thread.
#pragma once

class QWidget;

namespace tamovox {

// Modal, owned by owner; returns when it is closed (by itself after TAMOVOX_UNATTENDED seconds).
void showAboutDialog(QWidget* owner);

}  // namespace tamovox
