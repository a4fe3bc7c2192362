#include "app/TrayAnimation.h"

void TrayAnimation::set(List list, int frame, bool cycling)
{
    m_list = list;
    m_frame = frame;
    m_cycling = cycling;
}

int TrayAnimation::frames() const
{
    switch (m_list) {
    case List::Recording: return RecordingFrames;
    case List::NewMessages: return NewMessageFrames;
    case List::Normal: break;
    }
    return 2;
}

void TrayAnimation::show(TrayIcon icon)
{
    switch (icon) {
    case TrayIcon::Released:
        if (!m_released) {
            m_rememberedList = m_list;
            m_rememberedCycling = m_cycling;
        }
        m_released = true;
        set(List::Normal, 1, false);
        break;
    case TrayIcon::Bound:
        if (m_released) {
            m_released = false;
            if (m_rememberedCycling) {
                set(m_rememberedList, 0, true);
                break;
            }
        }
        set(List::Normal, 0, false);
        break;
    case TrayIcon::Recording:
        m_released = false;
        set(List::Recording, 0, true);
        break;
    case TrayIcon::NewMessages:
        m_released = false;
        set(List::NewMessages, 0, true);
        break;
    }
}

void TrayAnimation::tick()
{
    if (m_cycling)
        m_frame = (m_frame + 1) % frames();
}
