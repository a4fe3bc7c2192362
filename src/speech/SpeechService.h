#pragma once

#include "speech/TextToSpeech.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The one worker of a speech engine and its queue of jobs, shared by every
// TextToSpeech of that engine. It lives as long as the process: espeak-ng
// cannot be shut down and started again within one.
class SpeechService
{
public:
    struct Job
    {
        quint64 id = 0;
        QString text;
        QString voiceId;
        int volume = 100;
        TextToSpeech::Priority priority = TextToSpeech::Priority::Call;
        TextToSpeech* target = nullptr;
    };

    // The service of the engine registered as `engine`, started on first use.
    static SpeechService& of(const QString& engine);

    bool available() const { return m_available; }
    const QString& engineError() const { return m_engineError; }
    const std::vector<SpeechVoice>& voices() const { return m_voices; }

    quint64 post(Job job);
    // Stops the job being rendered when it is the target's.
    void skip(const TextToSpeech* target);
    // Drops the target's jobs and waits until none of them is being
    // rendered: afterwards nothing is delivered to it.
    void forget(const TextToSpeech* target);

private:
    explicit SpeechService(const QString& engine);
    void run(const QString& engine);
    void render(SpeechSynthesizer& synth, const Job& job, QByteArray& audio, QString& error);
    void deliver(const Job& job, const QByteArray& audio, const QString& error);

    bool m_available = false;
    QString m_engineError;
    std::vector<SpeechVoice> m_voices;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;                // guarded by m_mutex
    Job m_current;                          // guarded by m_mutex; id 0 when idle
    bool m_started = false;                 // guarded by m_mutex
    quint64 m_nextJob = 1;                  // guarded by m_mutex
    std::atomic<quint64> m_stop{0};         // the job to stop
    std::thread m_worker;
};
