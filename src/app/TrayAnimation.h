#pragma once

#include "calls/RecordingView.h"

// Which tray image shows: three image lists (normal, recording, new
// messages), cycled every 500 ms while animated. Release remembers the
// list and its cycling; the next Bind puts them back.
class TrayAnimation
{
public:
    enum class List { Normal, Recording, NewMessages };
    static constexpr int RecordingFrames = 4;
    static constexpr int NewMessageFrames = 2;
    static constexpr int IntervalMs = 500;

    void show(TrayIcon icon);
    // One timer tick: the next frame when cycling.
    void tick();

    List list() const { return m_list; }
    int frame() const { return m_frame; }
    bool cycling() const { return m_cycling; }

private:
    void set(List list, int frame, bool cycling);
    int frames() const;

    List m_list = List::Normal;
    int m_frame = 0;
    bool m_cycling = false;
    bool m_released = false;
    List m_rememberedList = List::Normal;
    bool m_rememberedCycling = false;
};
