#include "app/LoggerWindow.h"

#include <QMetaObject>
#include <QVBoxLayout>

LoggerWindow::LoggerWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Logger"));
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMaximumBlockCount(MaxLines);
    m_text->setFont(QFont(QStringLiteral("monospace")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
}

void LoggerWindow::showLines(const QStringList& lines)
{
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
}

void LoggerWindow::appendLine(const QString& line)
{
    QMetaObject::invokeMethod(this, [this, line] { addOnGuiThread(line); }, Qt::QueuedConnection);
}

void LoggerWindow::addOnGuiThread(const QString& line)
{
    m_text->appendPlainText(line);
}
