#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// A speech engine that renders text into samples. Engines register by name;
// "espeak-ng" is built in, tests register engines of their own.
//
// An engine is used from one thread only (espeak-ng is one global,
// non-re-entrant engine): the thread that started it.

struct SpeechVoice
{
    QString id;       // stable across engine upgrades, unlike the voice's index
    QString name;
    QString language; // e.g. "en-gb"
    int gender = 0;   // 0 unknown, 1 male, 2 female
    // One line for a list: "English (Great Britain), en-gb, male".
    QString description() const;
};

class SpeechSynthesizer
{
public:
    virtual ~SpeechSynthesizer() = default;

    // Prepares the engine; false, with the reason, when it cannot run here.
    virtual bool start(QString& error) = 0;
    // The rate of the samples synthesize() gives, once started.
    virtual int sampleRate() const = 0;
    // Every installed voice, in the engine's order.
    virtual std::vector<SpeechVoice> voices() = 0;
    // Renders the text as 16-bit mono samples handed to `sink` as they come;
    // sink returns false to stop early. Volume 0..100. False, with the
    // reason, when the text cannot be rendered.
    using SampleSink = std::function<bool(const qint16* samples, int count)>;
    virtual bool synthesize(const QString& text, const QString& voiceId, int volume, const SampleSink& sink,
                            QString& error) = 0;
};

using SpeechSynthesizerFactory = std::function<std::unique_ptr<SpeechSynthesizer>()>;

inline const QString DefaultSpeechEngine = QStringLiteral("espeak-ng");

// Replaces an engine of the same name.
void registerSpeechSynthesizer(const QString& name, SpeechSynthesizerFactory factory);
// Nothing when no engine has that name.
std::unique_ptr<SpeechSynthesizer> createSpeechSynthesizer(const QString& name);
QStringList speechSynthesizerNames();

// The espeak-ng engine, loaded at run time from `library`, so a machine
// without it still runs the program (without speech).
std::unique_ptr<SpeechSynthesizer> createEspeakSynthesizer(const QString& library = QStringLiteral("espeak-ng"));
