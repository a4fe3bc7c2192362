#include "calls/GreetingPreview.h"

#include "audio/AudioErrors.h"
#include "audio/AudioImport.h"
#include "audio/AudioPlayers.h"
#include "audio/RiffWriter.h"
#include "calls/LineOutput.h"
#include "speech/TextToSpeech.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

QString writePcm8kWav(const QString& path, const QByteArray& audio)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    {
        TdeRIFFAudioWriter writer(&file);
        writer.setFormat(standardPcm8k());
        writer.writeData(audio.constData(), audio.size());
        writer.finish();
    }
    if (!file.commit())
        return QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return QString();
}

} // namespace

GreetingPreview::GreetingPreview(QObject* parent)
    : QObject(parent), m_tts(std::make_unique<TextToSpeech>()), m_raw(std::make_unique<TRawDataPlayer>()),
      m_player(std::make_unique<TQAudioPlayer>()), m_recorder(std::make_unique<TQAudioRecorder>())
{
    connect(m_tts.get(), &TextToSpeech::endStream, this, &GreetingPreview::speechEnded);
    m_raw->OnCompleted = [this](TRawDataPlayer*) { end(QString()); };
    m_raw->OnError = [this](TRawDataPlayer*, const QString& message) { end(message); };
    m_player->OnAudioCompleted = [this](TQAudioPlayer*) { end(QString()); };
    m_player->OnError = [this](TQAudioPlayer*, const QString& message) { end(message); };
    m_recorder->OnError = [this](TQAudioRecorder*, const QString& message) {
        m_recorder->Stop();
        end(message);
    };
}

GreetingPreview::~GreetingPreview()
{
    m_state = State::Idle; // no signals from here on
    m_raw->Stop();
    m_player->Stop();
    if (!m_recorder->Stopped())
        m_recorder->Stop();
}

void GreetingPreview::setVoice(int index, const QString& id, int volume)
{
    m_tts->setVoice(m_tts->resolveVoice(index, id));
    m_tts->setVolume(volume);
}

bool GreetingPreview::play(const Greeting& greeting, QString* why)
{
    if (m_state != State::Idle)
        return fail(why, QStringLiteral("Already playing"));
    if (greeting.type == GreetingType::Text)
        return speak(greeting.content, why);
    QString reason;
    if (LineOutput::wavFileMs(greeting.content, &reason) < 0)
        return fail(why, reason);
    try {
        m_player->FileName = greeting.content;
        m_state = State::Playing;
        m_player->Play();
    } catch (const EACMError& e) {
        m_state = State::Idle;
        m_player->Stop();
        return fail(why, e.message());
    }
    return true;
}

bool GreetingPreview::speak(const QString& text, QString* why)
{
    if (text.trimmed().isEmpty())
        return fail(why, QStringLiteral("There is no text to speak"));
    if (!m_tts->available())
        return fail(why, m_tts->unavailableMessage());
    m_state = m_savePath.isEmpty() ? State::Speaking : State::Saving;
    m_job = m_tts->speak(text, TextToSpeech::Priority::Preview);
    return true;
}

void GreetingPreview::speechEnded(quint64 job, const QByteArray& audio, const QString& error)
{
    if (job != m_job || (m_state != State::Speaking && m_state != State::Saving))
        return;
    m_job = 0;
    if (m_state == State::Saving) {
        const QString path = std::exchange(m_savePath, QString());
        m_state = State::Idle;
        emit saved(path, error.isEmpty() ? writePcm8kWav(path, audio) : error);
        return;
    }
    if (!error.isEmpty() || audio.isEmpty()) {
        end(error);
        return;
    }
    m_audio = audio;
    m_speech = std::make_unique<QBuffer>(&m_audio);
    m_speech->open(QIODevice::ReadOnly);
    m_state = State::Playing;
    try {
        m_raw->Play(m_speech.get());
    } catch (const EACMError& e) {
        m_raw->Stop();
        end(e.message());
    }
}

bool GreetingPreview::record(const QString& path, QString* why)
{
    if (m_state != State::Idle)
        return fail(why, QStringLiteral("Already playing"));
    m_recorder->WavFormat = greetingFormat();
    m_recorder->AudioInFormat = greetingFormat();
    m_recorder->FileName = path;
    try {
        m_recorder->Start();
    } catch (const EACMError& e) {
        m_recorder->Stop();
        return fail(why, e.message());
    }
    m_state = State::Recording;
    return true;
}

bool GreetingPreview::saveTo(const Greeting& greeting, const QString& path, QString* why)
{
    if (m_state != State::Idle)
        return fail(why, QStringLiteral("Already playing"));
    if (greeting.type == GreetingType::Text) {
        m_savePath = path;
        if (!speak(greeting.content, why)) {
            m_savePath.clear();
            return false;
        }
        return true;
    }
    try {
        ImportAudioFile(greeting.content, path, greetingFormat());
    } catch (const EACMError& e) {
        return fail(why, e.message());
    }
    emit saved(path, QString());
    return true;
}

void GreetingPreview::stop()
{
    switch (m_state) {
    case State::Idle:
        return;
    case State::Speaking:
        m_tts->skip();
        m_job = 0; // what was rendered is not played
        end(QString());
        return;
    case State::Saving:
        m_tts->skip(); // saved with what was rendered
        return;
    case State::Recording:
        end(m_recorder->Stop() ? QString() : QStringLiteral("The recording could not be completed"));
        return;
    case State::Playing:
        m_raw->Stop();
        m_player->Stop();
        end(QString());
        return;
    }
}

void GreetingPreview::end(const QString& error)
{
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    emit finished(error);
}
