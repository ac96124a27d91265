#include "mainwindow/about_dialog.h"

#include "core/lifecycle_log.h"
#include "mainwindow/texts.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace tamovox {

void showAboutDialog(QWidget* owner)
{
    QDialog dialog(owner);
    dialog.setWindowTitle(QString::fromUtf8(kAboutTitle));
    dialog.setModal(true);

    auto* icon = new QLabel(&dialog);
    icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    auto* product = new QLabel(QString::fromUtf8(kAboutProduct), &dialog);
    QFont bold = product->font();
    bold.setBold(true);
    product->setFont(bold);
    auto* credit = new QLabel(QString::fromUtf8(kAboutCredit), &dialog);
    auto* paragraph = new QLabel(QString::fromUtf8(kAboutParagraph), &dialog);
    paragraph->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(credit);
    texts->addWidget(paragraph);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(row);
    layout->addWidget(buttons);
    dialog.setFixedWidth(360);

    logDiagnostic(std::string("message: ") + kAboutTitle + " | " + kAboutProduct);
    if (const char* unattended = std::getenv("TAMOVOX_UNATTENDED"); unattended && *unattended)
        QTimer::singleShot(std::max(0, std::atoi(unattended)) * 1000, &dialog, &QDialog::accept);
    dialog.exec();
}

}  // namespace tamovox
