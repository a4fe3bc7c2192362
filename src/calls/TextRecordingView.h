#pragma once

#include "calls/RecordingView.h"

class TextSink;

// The main window's view as text lines ("VIEW transport recording",
// "VIEW caller-id 5551234 SMITH JOHN"), for the headless service.
class TextRecordingView : public RecordingView
{
public:
    explicit TextRecordingView(TextSink& out) : m_out(out) {}

    void showTransport(TransportMode mode) override;
    void showTray(TrayIcon icon) override;
    void showStatus(const QString& text) override;
    void showCallerId(const QString& number, const QString& name) override;
    void hideCallerId() override;
    void showNewMessages(int count) override;
    void showMessage(const QString& text) override;
    void showLiveAudio(const uint8_t*, int) override {}

private:
    void line(const QString& text);

    TextSink& m_out;
    int m_transport = -1;
    int m_tray = -1;
};
