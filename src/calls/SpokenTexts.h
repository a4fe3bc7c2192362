#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

class TextToSpeech;

// The texts the answering machine speaks, rendered ahead in the voice and
// volume of the settings, so a caller hears a greeting at once instead of
// after its rendering. A text not rendered yet is rendered when asked for.
class SpokenTexts : public QObject
{
    Q_OBJECT
public:
    // Rendered audio: 8 kHz 8-bit unsigned mono; on failure empty, with why.
    using Done = std::function<void(const QByteArray& audio, const QString& error)>;
    static constexpr int MaxTexts = 64;

    // `tts` may be null (no speech engine).
    explicit SpokenTexts(TextToSpeech* tts, QObject* parent = nullptr);
    ~SpokenTexts() override;

    // The engine, once it has started (the one given at construction may be null).
    void setSpeech(TextToSpeech* tts);
    bool available() const;
    QString unavailableMessage() const;
    // A different voice or volume forgets what was rendered.
    void setVoice(int index, const QString& id, int volume);
    // Renders, in the background, each text not rendered yet.
    void prepare(const QStringList& texts);
    // Rendered audio of the text, or nullptr.
    const QByteArray* find(const QString& text) const;
    // `done` runs once: at once when the text is rendered, else when its
    // rendering ends. The returned ticket forgets the request (cancel).
    quint64 render(const QString& text, Done done);
    void cancel(quint64 ticket);

private:
    struct Request
    {
        quint64 ticket;
        Done done;
    };
    struct Job
    {
        QString text;
        quint64 generation;
        std::vector<Request> requests;
    };
    void jobEnded(quint64 job, const QByteArray& audio, const QString& error);
    quint64 startJob(const QString& text);

    TextToSpeech* m_tts = nullptr;
    QHash<QString, QByteArray> m_audio;
    std::map<quint64, Job> m_jobs; // by speech job id
    quint64 m_generation = 0;
    quint64 m_tickets = 0;
    int m_voice = -2;
    int m_volume = -1;
};
