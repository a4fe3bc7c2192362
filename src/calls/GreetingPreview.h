#pragma once

#include "calls/Greeting.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

class QBuffer;
class TQAudioPlayer;
class TQAudioRecorder;
class TRawDataPlayer;
class TextToSpeech;

// Play, Stop and Record of the greeting dialogs: a greeting heard on the
// sound card (text spoken with the chosen voice first), saved into a WAV
// file as the line would carry it, or recorded from the sound card.
class GreetingPreview : public QObject
{
    Q_OBJECT
public:
    enum class State { Idle, Speaking, Playing, Recording, Saving };

    // Speaks through its own TextToSpeech (the engine's one worker is shared).
    explicit GreetingPreview(QObject* parent = nullptr);
    ~GreetingPreview() override;

    State state() const { return m_state; }
    void setVoice(int index, const QString& id, int volume);

    // False with *why when there is nothing to hear: a missing or unreadable
    // file, an empty text, no speech engine, no sound device. Else started;
    // finished() follows.
    bool play(const Greeting& greeting, QString* why);
    // Into `path` as PCM 8000 Hz 16-bit mono, replacing an earlier file only
    // when something was recorded. False with *why when it cannot start.
    bool record(const QString& path, QString* why);
    // The greeting as the caller would hear it, into a WAV file; saved() follows
    // (at once for a file, when the speech is rendered for a text).
    bool saveTo(const Greeting& greeting, const QString& path, QString* why);
    // Ends speech, playback or a recording; finished() follows when something ran.
    void stop();

signals:
    void finished(const QString& error);
    void saved(const QString& path, const QString& error);

private:
    bool speak(const QString& text, QString* why);
    void speechEnded(quint64 job, const QByteArray& audio, const QString& error);
    void end(const QString& error);

    std::unique_ptr<TextToSpeech> m_tts;
    std::unique_ptr<TRawDataPlayer> m_raw;
    std::unique_ptr<TQAudioPlayer> m_player;
    std::unique_ptr<TQAudioRecorder> m_recorder;
    std::unique_ptr<QBuffer> m_speech;
    QByteArray m_audio;
    QString m_savePath;
    quint64 m_job = 0;
    State m_state = State::Idle;
};
