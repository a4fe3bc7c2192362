#pragma once

#include "calls/RecordingView.h"

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <functional>

// A recording that has just been catalogued.
struct SavedRecording
{
    QString number;   // printable, empty without caller ID
    QString name;     // printable
    QDateTime start;
    qint64 seconds = 0;
    QString fileName; // plain name in the recordings folder
    QString folder;   // the catalogue folder it went to
    bool message = false; // left on the answering machine (new), not picked up
    int newMessages = 0;
};
Q_DECLARE_METATYPE(SavedRecording)

// What happens on the line, once, for whoever reports it beyond the window
// (mail, home automation). It sits between the call handling and the
// window's view, so it sees what the window sees and passes it all on.
class CallNews : public QObject, public RecordingView
{
    Q_OBJECT
public:
    enum class LineState : uint8_t { Bound, Released, Ringing, Recording, Answering };
    static QString stateName(LineState state);

    explicit CallNews(QObject* parent = nullptr) : QObject(parent) {}
    void setView(RecordingView* view) { m_view = view; }
    // Tells a closed port from a modem gone.
    void setUserReleased(std::function<bool()> released) { m_userReleased = std::move(released); }

    void reportRing();
    // The rings stopped and nobody took the call.
    void reportRingAway();
    void reportSaved(const SavedRecording& recording);
    void reportBlocked(const QString& number, const QString& name, const QString& action);

    void showTransport(TransportMode mode) override;
    void showTray(TrayIcon icon) override;
    void showStatus(const QString& text) override;
    void showCallerId(const QString& number, const QString& name) override;
    void hideCallerId() override;
    void showNewMessages(int count) override;
    void showMessage(const QString& text) override;
    void showLiveAudio(const uint8_t* data, int size) override;

    LineState state() const { return m_state; }
    int newMessages() const { return m_newMessages; }

signals:
    void stateChanged(CallNews::LineState state);
    void ring();
    void callerId(const QString& number, const QString& name);
    void answered();
    void saved(const SavedRecording& recording);
    void blocked(const QString& number, const QString& name, const QString& action);
    void modemLost();
    void newMessagesChanged(int count);

private:
    void setState(LineState state);

    RecordingView* m_view = nullptr;
    std::function<bool()> m_userReleased;
    LineState m_state = LineState::Released;
    bool m_bound = false;
    int m_newMessages = -1;
};
