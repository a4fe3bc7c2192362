#include "SpeechService.h"

#include "audio/AudioConvertor.h"

#include <QMetaObject>
#include <map>

SpeechService& SpeechService::of(const QString& engine)
{
    static std::mutex mutex;
    static std::map<QString, SpeechService*> services; // never freed, see the class
    std::lock_guard lock(mutex);
    SpeechService*& service = services[engine];
    if (!service)
        service = new SpeechService(engine);
    return *service;
}

SpeechService::SpeechService(const QString& engine)
{
    m_worker = std::thread([this, engine] { run(engine); });
    m_worker.detach(); // it waits for work until the process ends
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_started; });
}

quint64 SpeechService::post(Job job)
{
    quint64 id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = job.id = m_nextJob++;
        auto at = m_queue.end();
        if (job.priority == TextToSpeech::Priority::Call) // before the previews, after earlier calls
            at = std::find_if(m_queue.begin(), m_queue.end(),
                              [](const Job& j) { return j.priority == TextToSpeech::Priority::Preview; });
        const bool preempts = job.priority == TextToSpeech::Priority::Call && m_current.id != 0
                           && m_current.priority == TextToSpeech::Priority::Preview;
        m_queue.insert(at, std::move(job));
        if (preempts) // a caller must not wait for a preview
            m_stop = m_current.id;
    }
    m_wake.notify_all();
    return id;
}

void SpeechService::skip(const TextToSpeech* target)
{
    std::lock_guard lock(m_mutex);
    if (m_current.id != 0 && m_current.target == target)
        m_stop = m_current.id;
}

void SpeechService::forget(const TextToSpeech* target)
{
    std::unique_lock lock(m_mutex);
    std::erase_if(m_queue, [target](const Job& j) { return j.target == target; });
    if (m_current.id != 0 && m_current.target == target)
        m_stop = m_current.id;
    m_wake.wait(lock, [&] { return m_current.target != target; });
}

void SpeechService::run(const QString& engine)
{
    std::unique_ptr<SpeechSynthesizer> synth = createSpeechSynthesizer(engine);
    QString error = synth ? QString() : QStringLiteral("no speech engine is called %1").arg(engine);
    if (synth && !synth->start(error))
        synth.reset();
    {
        std::lock_guard lock(m_mutex);
        m_available = synth != nullptr;
        m_engineError = error;
        if (synth)
            m_voices = synth->voices();
        m_started = true;
    }
    m_wake.notify_all();

    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_current = job;
        }
        QByteArray audio;
        QString why = m_engineError;
        if (synth)
            render(*synth, job, audio, why);
        deliver(job, audio, why);
    }
}

void SpeechService::render(SpeechSynthesizer& synth, const Job& job, QByteArray& audio, QString& error)
{
    error.clear();
    try {
        TdeAudioConvertor convertor;
        convertor.setFormatIn(pcmFormat(quint32(synth.sampleRate()), 16, 1));
        convertor.setFormatOut(standardPcm8k());
        convertor.setOnAudioConverted([&audio](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
            audio.append(static_cast<const char*>(data), size);
        });
        convertor.open();
        if (!job.text.trimmed().isEmpty()) {
            synth.synthesize(job.text, job.voiceId, job.volume,
                             [&](const qint16* samples, int count) {
                                 convertor.convert(samples, qint64(count) * 2);
                                 return m_stop.load() != job.id;
                             },
                             error);
        }
        convertor.flush();
        convertor.close();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
}

// Posted while the job is still the current one, so forget() cannot let its
// target go in between.
void SpeechService::deliver(const Job& job, const QByteArray& audio, const QString& error)
{
    {
        std::lock_guard lock(m_mutex);
        TextToSpeech* target = job.target;
        const quint64 id = job.id;
        QMetaObject::invokeMethod(
            target, [target, id, audio, error] { emit target->endStream(id, audio, error); }, Qt::QueuedConnection);
        m_current = Job();
    }
    m_wake.notify_all();
}
