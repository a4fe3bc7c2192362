#pragma once

#include "audio/MediaPlayer.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class EventLog;

// The built-in player of the transport: Play, Pause, Stop, Rewind, Fast
// forward and the slider on the media player, with the file's audio at
// 8 kHz 8-bit for the oscilloscope, ticked every 100 ms.
class Playback : public QObject
{
    Q_OBJECT
public:
    static constexpr int TickMs = 100;
    // "Points to display": 1200, 1400, ... 3000; an index outside that falls back to 1800.
    static int pointsFor(int index);

    explicit Playback(EventLog& log, QObject* parent = nullptr);

    // A new file; false (with the reason shown through failed()) when it cannot play.
    bool start(const QString& path);
    void resume();
    void pause();
    // "-- Play stopped"; the player closed.
    void stop();
    void rewind();
    void fastForward();
    void seekToClick(int x, int width);

    bool playing() const { return m_player.mode() == TMediaPlayer::Mode::Playing; }
    bool paused() const { return m_open && !playing(); }
    bool active() const { return m_open; }
    void setPoints(int index) { m_points = pointsFor(index); }
    void setTrace(bool on) { m_trace = on; }
    void setDevice(int number) { m_player.setDeviceNumber(number); }
    const QByteArray& playData() const { return m_playData; }
    qint64 position() const { return m_player.position(); }
    qint64 length() const { return m_player.length(); }
    QString fileName() const { return m_player.fileName(); }

signals:
    void progress(qint64 positionMs, qint64 lengthMs);
    void samples(const uint8_t* data, int count);
    void stateChanged();
    void ended(); // the file played to its end, or Stop
    void failed(const QString& text);

private:
    void tick();
    void step(qint64 deltaMs);
    void close();
    bool check(bool ok, const char* operation);

    EventLog& m_log;
    TMediaPlayer m_player;
    QTimer m_timer;
    QByteArray m_playData;
    bool m_open = false;
    bool m_trace = true;
    int m_points = 1800;
};
