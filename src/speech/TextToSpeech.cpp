#include "TextToSpeech.h"

#include "speech/SpeechService.h"

#include <algorithm>

TextToSpeech::TextToSpeech(const QString& engine, QObject* parent)
    : QObject(parent), m_service(&SpeechService::of(engine))
{
}

TextToSpeech::~TextToSpeech()
{
    m_service->forget(this);
}

bool TextToSpeech::available() const
{
    return m_service->available();
}

QString TextToSpeech::engineError() const
{
    return m_service->engineError();
}

const std::vector<SpeechVoice>& TextToSpeech::voices() const
{
    return m_service->voices();
}

QString TextToSpeech::unavailableMessage() const
{
    return QStringLiteral("The application needs espeak-ng\nPlease install it (sudo apt install espeak-ng).\n"
                          "Then launch the software.");
}

QStringList TextToSpeech::voiceIds() const
{
    QStringList ids;
    for (const SpeechVoice& voice : voices())
        ids << voice.id;
    return ids;
}

int TextToSpeech::indexOfVoice(const QString& id) const
{
    const auto& all = voices();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].id == id)
            return int(i);
    return -1;
}

int TextToSpeech::resolveVoice(int index, const QString& id) const
{
    const int byId = id.isEmpty() ? -1 : indexOfVoice(id);
    if (byId >= 0)
        return byId;
    return id.isEmpty() && index == 0 ? -1 : index;
}

void TextToSpeech::setVoice(int index)
{
    m_voice = index >= 0 && size_t(index) < voices().size() ? index : -1;
}

void TextToSpeech::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
}

quint64 TextToSpeech::speak(const QString& text, Priority priority)
{
    SpeechService::Job job;
    job.text = text;
    job.voiceId = m_voice >= 0 ? voices()[size_t(m_voice)].id : QString();
    job.volume = m_volume;
    job.priority = priority;
    job.target = this;
    return m_service->post(std::move(job));
}

void TextToSpeech::skip()
{
    m_service->skip(this);
}
