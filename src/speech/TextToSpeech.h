#pragma once

#include "platform/SpeechSynthesizer.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class SpeechService;

// Text-to-speech for the line and for previews: texts are rendered on one
// worker thread, each into memory as 8 kHz 8-bit unsigned mono (rendered at
// the engine's rate and converted through the codec layer), and every job
// ends with exactly one endStream on the thread that owns this object,
// also for an empty text, a job stopped by skip(), or an error.
//
// The engine is one global, non-re-entrant object: every TextToSpeech of
// an engine shares one worker and one queue, in which a call's texts go
// before the previews and pre-empt a preview being rendered.
class TextToSpeech : public QObject
{
    Q_OBJECT
public:
    enum class Priority { Call, Preview };

    // Joins the worker of the engine registered as `engine`, starting it
    // (and waiting until the engine has started or failed to) when it is the
    // first.
    explicit TextToSpeech(const QString& engine = DefaultSpeechEngine, QObject* parent = nullptr);
    ~TextToSpeech() override;

    // False when the engine cannot run here; then unavailableMessage() says
    // what to install, speak() still ends every job (with an error).
    bool available() const;
    QString unavailableMessage() const;
    QString engineError() const;

    // Every installed voice, in the engine's order.
    const std::vector<SpeechVoice>& voices() const;
    QStringList voiceIds() const;
    // The index of the voice with this id, or -1.
    int indexOfVoice(const QString& id) const;
    // The voice a stored choice means: the one with `id` when there is one
    // (indexes shift when voices are installed); else `index`; but -1, the
    // engine's own default voice, for index 0 without an id, the value every
    // new settings file starts with, rather than whichever language sorts first.
    int resolveVoice(int index, const QString& id) const;
    // Out-of-range indexes select the engine's default voice.
    void setVoice(int index);
    int voice() const { return m_voice; }
    void setVolume(int volume); // 0..100
    int volume() const { return m_volume; }

    // Speaks asynchronously; returns the job's id at once.
    quint64 speak(const QString& text, Priority priority = Priority::Call);
    // Stops the text being spoken; its job ends with what was rendered.
    void skip();

signals:
    // A job is over: its rendered audio (8 kHz 8-bit unsigned mono; its
    // size is the stream position) and, when it failed, why.
    void endStream(quint64 job, const QByteArray& audio, const QString& error);

private:
    friend class SpeechService;

    SpeechService* m_service; // shared by every object of the same engine
    int m_voice = -1;
    int m_volume = 100;
};
