#include "calls/SpokenTexts.h"

#include "speech/TextToSpeech.h"

SpokenTexts::SpokenTexts(TextToSpeech* tts, QObject* parent) : QObject(parent)
{
    setSpeech(tts);
}

void SpokenTexts::setSpeech(TextToSpeech* tts)
{
    if (m_tts)
        disconnect(m_tts, nullptr, this, nullptr);
    m_tts = tts;
    m_jobs.clear();
    m_audio.clear();
    m_voice = -2;
    ++m_generation;
    if (m_tts)
        connect(m_tts, &TextToSpeech::endStream, this, &SpokenTexts::jobEnded);
}

SpokenTexts::~SpokenTexts() = default;

bool SpokenTexts::available() const
{
    return m_tts && m_tts->available();
}

QString SpokenTexts::unavailableMessage() const
{
    return m_tts ? m_tts->unavailableMessage() : QStringLiteral("no speech engine");
}

void SpokenTexts::setVoice(int index, const QString& id, int volume)
{
    if (!m_tts)
        return;
    const int voice = m_tts->resolveVoice(index, id);
    if (voice == m_voice && volume == m_volume)
        return;
    m_voice = voice;
    m_volume = volume;
    m_tts->setVoice(voice);
    m_tts->setVolume(volume);
    m_audio.clear();
    ++m_generation; // audio still rendering in the old voice is not kept
}

void SpokenTexts::prepare(const QStringList& texts)
{
    if (!available())
        return;
    for (const QString& text : texts) {
        if (text.trimmed().isEmpty() || m_audio.contains(text))
            continue;
        bool rendering = false;
        for (const auto& [id, job] : m_jobs)
            rendering = rendering || (job.text == text && job.generation == m_generation);
        if (!rendering)
            startJob(text);
    }
}

const QByteArray* SpokenTexts::find(const QString& text) const
{
    auto it = m_audio.constFind(text);
    return it == m_audio.constEnd() ? nullptr : &it.value();
}

quint64 SpokenTexts::startJob(const QString& text)
{
    const quint64 id = m_tts->speak(text, TextToSpeech::Priority::Call);
    m_jobs[id] = Job{text, m_generation, {}};
    return id;
}

quint64 SpokenTexts::render(const QString& text, Done done)
{
    const quint64 ticket = ++m_tickets;
    if (const QByteArray* audio = find(text)) {
        done(*audio, QString());
        return ticket;
    }
    if (!available()) {
        done(QByteArray(), unavailableMessage());
        return ticket;
    }
    for (auto& [id, job] : m_jobs)
        if (job.text == text && job.generation == m_generation) {
            job.requests.push_back({ticket, std::move(done)});
            return ticket;
        }
    m_jobs[startJob(text)].requests.push_back({ticket, std::move(done)});
    return ticket;
}

void SpokenTexts::cancel(quint64 ticket)
{
    for (auto& [id, job] : m_jobs)
        std::erase_if(job.requests, [ticket](const Request& r) { return r.ticket == ticket; });
}

void SpokenTexts::jobEnded(quint64 jobId, const QByteArray& audio, const QString& error)
{
    auto it = m_jobs.find(jobId);
    if (it == m_jobs.end())
        return; // a job of another user of the engine
    Job job = std::move(it->second);
    m_jobs.erase(it);
    const bool rendered = error.isEmpty() && !audio.isEmpty();
    if (rendered && job.generation == m_generation) {
        if (m_audio.size() >= MaxTexts)
            m_audio.clear();
        m_audio.insert(job.text, audio);
    }
    const QString why = rendered ? QString() : error.isEmpty() ? QStringLiteral("nothing was rendered") : error;
    for (Request& r : job.requests)
        r.done(rendered ? audio : QByteArray(), why);
}
