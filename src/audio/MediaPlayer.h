#pragma once

#include "AudioPlayers.h"

#include <QObject>
#include <QString>

// The main window's WAV player: open a file, play, pause, resume, stop and
// seek, with its mode, position and length in milliseconds and, after a
// failed operation, an error number and text.
class TMediaPlayer : public QObject
{
    Q_OBJECT
public:
    enum class Mode { NotOpen, Stopped, Playing, Paused };
    // The numbers of the platform's media-control errors.
    enum Error { NoError = 0, HardwareError = 262, FileNotFound = 275, InvalidFile = 296, NotOpenError = 263 };

    explicit TMediaPlayer(QObject* parent = nullptr);
    ~TMediaPlayer() override;

    // Each returns false with errorNumber() and errorText() set on failure.
    bool open(const QString& fileName);
    // From the current position; from the start when it stands at the end.
    bool play();
    bool pause();
    // Continues a paused player, or one that was sought while stopped.
    bool resume();
    // Stands still at the current position.
    bool stop();
    // Stands still at ms (clamped to the length); play or resume goes on from there.
    bool seek(qint64 ms);
    void close();

    Mode mode() const { return m_mode; }
    qint64 position() const;
    qint64 length() const { return m_length; }
    int errorNumber() const { return m_errorNumber; }
    QString errorText() const { return m_errorText; }
    QString fileName() const { return m_fileName; }
    void setDeviceNumber(int number) { m_player.device().setDeviceNumber(number); }
    // Whether the end of playback is signalled; off, callers poll mode().
    void setNotify(bool on) { m_notify = on; }

signals:
    // Playback reached the end of the file.
    void completed();
    // Playback stopped by itself on an error (the card gone).
    void failed(int errorNumber, const QString& text);

private:
    bool fail(int number, const QString& text);
    bool requireOpen();
    bool startAt(qint64 ms);
    void reachedEnd();
    void deviceFailed(const QString& message);

    TQAudioPlayer m_player;
    QString m_fileName;
    Mode m_mode = Mode::NotOpen;
    qint64 m_position = 0;
    qint64 m_length = 0;
    int m_errorNumber = NoError;
    QString m_errorText;
    bool m_notify = true;
};
