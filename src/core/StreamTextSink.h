#pragma once

#include "core/TextSink.h"

#include <QMutex>
#include <QTextStream>

// Log lines to a text stream (stdout for the command line), from any thread.
class StreamTextSink : public TextSink
{
public:
    explicit StreamTextSink(QTextStream& out) : m_out(out) {}
    void appendLine(const QString& line) override;

private:
    QMutex m_mutex;
    QTextStream& m_out;
};
