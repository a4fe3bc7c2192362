#pragma once

#include "core/TextSink.h"

#include <QPlainTextEdit>
#include <QWidget>

// The "Logger" window: the event log's lines as they come, from any thread.
class LoggerWindow : public QWidget, public TextSink
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 3000;
    explicit LoggerWindow(QWidget* parent = nullptr);
    void showLines(const QStringList& lines);
    void appendLine(const QString& line) override; // any thread

private:
    void addOnGuiThread(const QString& line);
    QPlainTextEdit* m_text;
};
