#include "calls/TextRecordingView.h"

#include "core/TextSink.h"

void TextRecordingView::line(const QString& text)
{
    m_out.appendLine(QStringLiteral("VIEW ") + text);
}

// Only changes are shown: the controller restates the transport often.
void TextRecordingView::showTransport(TransportMode mode)
{
    if (int(mode) == m_transport)
        return;
    m_transport = int(mode);
    static const char* const names[] = {"idle", "recording", "answering", "no-record"};
    line(QStringLiteral("transport ") + QLatin1String(names[int(mode)]));
}

void TextRecordingView::showTray(TrayIcon icon)
{
    if (int(icon) == m_tray)
        return;
    m_tray = int(icon);
    static const char* const names[] = {"bound", "released", "recording", "new-messages"};
    line(QStringLiteral("tray ") + QLatin1String(names[int(icon)]));
}

void TextRecordingView::showStatus(const QString& text)
{
    line(QStringLiteral("status ") + text.trimmed());
}

void TextRecordingView::showCallerId(const QString& number, const QString& name)
{
    line(QStringLiteral("caller-id %1 %2").arg(number, name).trimmed());
}

void TextRecordingView::hideCallerId()
{
    line(QStringLiteral("caller-id hidden"));
}

void TextRecordingView::showNewMessages(int count)
{
    line(QStringLiteral("new-messages %1").arg(count));
}

void TextRecordingView::showMessage(const QString& text)
{
    line(QStringLiteral("message ") + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}
