#include "postprocess/PostProcessSession.h"

#include "audio/AudioErrors.h"
#include "audio/AudioPlayers.h"

PostProcessSession::PostProcessSession(QObject* parent)
    : QObject(parent), m_player(std::make_unique<TRawDataPlayer>())
{
    m_player->OnCompleted = [this](TRawDataPlayer*) { emit previewEnded(); };
    m_player->OnError = [this](TRawDataPlayer*, const QString&) { emit previewEnded(); };
}

PostProcessSession::~PostProcessSession()
{
    m_player->Stop();
}

bool PostProcessSession::open(const QString& path, QString* error)
{
    stop();
    m_changed = false;
    return m_edit.open(path, error);
}

void PostProcessSession::applyLevel(int percent, const postprocess::Progress& progress)
{
    stop(); // the player reads the audio being changed
    postprocess::applyVolumeLevel(m_edit.data(), m_edit.size(), percent, progress);
    m_changed = true;
}

postprocess::EqualizeOutcome PostProcessSession::equalize(const postprocess::Progress& progress)
{
    stop();
    const postprocess::EqualizeOutcome outcome = postprocess::equalizeVoice(m_edit.data(), m_edit.size(), progress);
    if (!outcome.noVoice())
        m_changed = true;
    return outcome;
}

bool PostProcessSession::save(QString* error)
{
    stop();
    if (!m_edit.save(error))
        return false;
    m_changed = false;
    return true;
}

bool PostProcessSession::play(QString* error)
{
    stop();
    m_stream.close();
    m_stream.setData(m_edit.audio());
    m_stream.open(QIODevice::ReadOnly);
    try {
        m_player->Play(&m_stream);
    } catch (const EACMError& e) {
        m_player->Stop();
        *error = e.message();
        return false;
    }
    return true;
}

void PostProcessSession::stop()
{
    if (m_player->Playing())
        m_player->Stop();
}

bool PostProcessSession::playing() const
{
    return m_player->Playing();
}
