#include "core/StreamTextSink.h"
#include "core/VisibleText.h"

void StreamTextSink::appendLine(const QString& line)
{
    QMutexLocker lock(&m_mutex);
    m_out << visibleLines(line) << '\n';
    m_out.flush();
}
