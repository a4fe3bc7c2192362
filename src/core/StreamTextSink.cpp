#include "core/StreamTextSink.h"

void StreamTextSink::appendLine(const QString& line)
{
    QMutexLocker lock(&m_mutex);
    m_out << line << '\n';
    m_out.flush();
}
