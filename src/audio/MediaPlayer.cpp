#include "MediaPlayer.h"

#include "AudioErrors.h"
#include "RiffReader.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <algorithm>

TMediaPlayer::TMediaPlayer(QObject* parent) : QObject(parent)
{
    m_player.OnAudioCompleted = [this](TQAudioPlayer*) { reachedEnd(); };
    m_player.OnError = [this](TQAudioPlayer*, const QString& message) { deviceFailed(message); };
}

TMediaPlayer::~TMediaPlayer() = default;

bool TMediaPlayer::fail(int number, const QString& text)
{
    m_errorNumber = number;
    m_errorText = text;
    return false;
}

bool TMediaPlayer::requireOpen()
{
    if (m_mode != Mode::NotOpen)
        return true;
    return fail(NotOpenError, QStringLiteral("The device is not open."));
}

bool TMediaPlayer::open(const QString& fileName)
{
    close();
    m_errorNumber = NoError;
    m_errorText.clear();
    RegularFile file(fileName);
    if (!file.exists())
        return fail(FileNotFound, QStringLiteral("The file \"%1\" does not exist.").arg(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return fail(FileNotFound, QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    try {
        const TdeRIFFAudioReader reader(&file);
        const quint32 perSecond = reader.trackFormat().avgBytesPerSec();
        if (perSecond == 0)
            throw EACMAudioReadError(QStringLiteral("Invalid file format."));
        m_length = reader.trackSize() * 1000 / perSecond;
    } catch (const std::exception& e) {
        return fail(InvalidFile, QString::fromUtf8(e.what()));
    }
    m_fileName = fileName;
    m_player.FileName = fileName;
    m_position = 0;
    m_mode = Mode::Stopped;
    return true;
}

void TMediaPlayer::close()
{
    m_player.Stop();
    m_mode = Mode::NotOpen;
    m_fileName.clear();
    m_position = 0;
    m_length = 0;
}

bool TMediaPlayer::startAt(qint64 ms)
{
    try {
        m_player.Play(ms);
    } catch (const std::exception& e) {
        m_mode = Mode::Stopped;
        return fail(HardwareError, QString::fromUtf8(e.what()));
    }
    m_mode = Mode::Playing;
    return true;
}

bool TMediaPlayer::play()
{
    if (!requireOpen())
        return false;
    if (m_mode == Mode::Playing)
        return true;
    return startAt(m_position >= m_length ? 0 : m_position);
}

bool TMediaPlayer::pause()
{
    if (!requireOpen())
        return false;
    if (m_mode == Mode::Playing) {
        m_position = m_player.playedMs();
        m_player.Stop();
        m_mode = Mode::Paused;
    }
    return true;
}

bool TMediaPlayer::resume()
{
    if (!requireOpen())
        return false;
    if (m_mode == Mode::Playing)
        return true;
    return startAt(m_position);
}

bool TMediaPlayer::stop()
{
    if (!requireOpen())
        return false;
    if (m_mode == Mode::Playing)
        m_position = m_player.playedMs();
    m_player.Stop();
    m_mode = Mode::Stopped;
    return true;
}

bool TMediaPlayer::seek(qint64 ms)
{
    if (!requireOpen())
        return false;
    if (m_mode == Mode::Playing) {
        m_player.Stop();
        m_mode = Mode::Stopped;
    }
    m_position = std::clamp<qint64>(ms, 0, m_length);
    return true;
}

qint64 TMediaPlayer::position() const
{
    return m_mode == Mode::Playing ? m_player.playedMs() : m_position;
}

void TMediaPlayer::reachedEnd()
{
    m_player.Stop();
    m_position = m_length;
    m_mode = Mode::Stopped;
    if (m_notify)
        emit completed();
}

void TMediaPlayer::deviceFailed(const QString& message)
{
    m_position = m_player.playedMs();
    m_player.Stop();
    m_mode = Mode::Stopped;
    fail(HardwareError, message);
    emit failed(m_errorNumber, m_errorText);
}
