#pragma once

#include <QMessageBox>

// A message box whose text is shown as typed: messages carry file names,
// callers' text and the system's reasons, never markup.
inline void showPlainMessage(QWidget* parent, const QString& title, const QString& text,
                             QMessageBox::Icon icon = QMessageBox::Information)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
