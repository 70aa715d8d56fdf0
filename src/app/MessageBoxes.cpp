#include "MessageBoxes.h"

#include "core/Texts.h"

#include <QMessageBox>

const QString MessageBoxes::kTitle = QString::fromLatin1(Texts::kTitle);

void MessageBoxes::message(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxes::question(QWidget* parent, const QString& text)
{
    // QMessageBox::question() always draws an icon; this box has none.
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}
