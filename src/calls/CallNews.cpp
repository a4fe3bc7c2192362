#include "calls/CallNews.h"

QString CallNews::stateName(LineState state)
{
    static const char* const names[] = {"bound", "released", "ringing", "recording", "answering"};
    return QLatin1String(names[int(state)]);
}

void CallNews::setState(LineState state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void CallNews::reportRing()
{
    if (m_state == LineState::Bound)
        setState(LineState::Ringing);
    emit ring();
}

void CallNews::reportRingAway()
{
    if (m_state == LineState::Ringing)
        setState(m_bound ? LineState::Bound : LineState::Released);
}

void CallNews::reportSaved(const SavedRecording& recording)
{
    emit saved(recording);
}

void CallNews::reportBlocked(const QString& number, const QString& name, const QString& action)
{
    emit blocked(number, name, action);
}

void CallNews::showTransport(TransportMode mode)
{
    if (m_view)
        m_view->showTransport(mode);
    if (mode == TransportMode::Answering && m_state != LineState::Answering) {
        setState(LineState::Answering);
        emit answered();
    } else if (mode == TransportMode::Recording) {
        setState(LineState::Recording);
    } else if (mode == TransportMode::Idle && m_bound) {
        setState(LineState::Bound);
    }
}

void CallNews::showTray(TrayIcon icon)
{
    if (m_view)
        m_view->showTray(icon);
    if (icon == TrayIcon::Bound) {
        m_bound = true;
        if (m_state == LineState::Released)
            setState(LineState::Bound);
    } else if (icon == TrayIcon::Released) {
        const bool lost = m_bound && m_userReleased && !m_userReleased();
        m_bound = false;
        setState(LineState::Released);
        if (lost)
            emit modemLost();
    }
}

void CallNews::showStatus(const QString& text)
{
    if (m_view)
        m_view->showStatus(text);
}

void CallNews::showCallerId(const QString& number, const QString& name)
{
    if (m_view)
        m_view->showCallerId(number, name);
    emit callerId(number, name);
}

void CallNews::hideCallerId()
{
    if (m_view)
        m_view->hideCallerId();
}

void CallNews::showNewMessages(int count)
{
    if (m_view)
        m_view->showNewMessages(count);
    if (count == m_newMessages)
        return;
    m_newMessages = count;
    emit newMessagesChanged(count);
}

void CallNews::showMessage(const QString& text)
{
    if (m_view)
        m_view->showMessage(text);
}

void CallNews::showLiveAudio(const uint8_t* data, int size)
{
    if (m_view)
        m_view->showLiveAudio(data, size);
}
