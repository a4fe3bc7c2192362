#include "app/Playback.h"

#include "app/TransportMath.h"
#include "audio/FileConversion.h"
#include "calls/EventLog.h"

#include <QBuffer>
#include <QFileInfo>
#include <cmath>

int Playback::pointsFor(int index)
{
    return index >= 0 && index <= 9 ? 1200 + 200 * index : 1800;
}

Playback::Playback(EventLog& log, QObject* parent) : QObject(parent), m_log(log)
{
    m_player.setNotify(false); // the tick sees the end
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &Playback::tick);
    connect(&m_player, &TMediaPlayer::failed, this, [this](int number, const QString& text) {
        close();
        emit failed(QStringLiteral("\"Mplayer1.play\" Error num %1. %2").arg(number).arg(text));
    });
}

bool Playback::check(bool ok, const char* operation)
{
    if (ok)
        return true;
    const QString text = QStringLiteral("\"%1\" Error num %2. %3")
                             .arg(QLatin1String(operation))
                             .arg(m_player.errorNumber())
                             .arg(m_player.errorText());
    m_log.LogEvent(text);
    m_player.close();
    emit failed(text);
    return false;
}

bool Playback::start(const QString& path)
{
    if (m_open)
        close();
    m_log.LogEvent(QStringLiteral("-- Play file (") + QFileInfo(path).fileName());
    if (!QFileInfo(path).isFile()) {
        const QString text = QLatin1Char('"') + path + QStringLiteral("\" file does not exist");
        m_log.LogEvent(text);
        emit failed(text);
        return false;
    }
    m_playData.clear();
    QBuffer buffer(&m_playData);
    buffer.open(QIODevice::WriteOnly);
    if (!WavToPcm8k(path, buffer))
        return false; // released silently: the file cannot be decoded
    if (!check(m_player.open(path), "Mplayer1.open") || !check(m_player.play(), "Mplayer1.play"))
        return false;
    m_open = true;
    m_timer.start();
    emit stateChanged();
    return true;
}

void Playback::resume()
{
    if (!m_open || playing())
        return;
    if (check(m_player.resume(), "Mplayer1.play")) {
        m_timer.start();
        emit stateChanged();
    } else {
        close();
    }
}

void Playback::pause()
{
    if (!playing())
        return;
    m_player.pause();
    m_timer.stop();
    emit stateChanged();
}

void Playback::stop()
{
    if (!m_open)
        return;
    m_log.LogEvent(QStringLiteral("-- Play stopped"));
    close();
}

void Playback::close()
{
    m_timer.stop();
    m_player.close();
    m_open = false;
    m_playData.clear();
    emit progress(0, 0);
    emit ended();
    emit stateChanged();
}

void Playback::step(qint64 deltaMs)
{
    if (!m_open)
        return;
    if (playing())
        m_player.pause();
    m_player.seek(std::clamp<qint64>(m_player.position() + deltaMs, 0, m_player.length()));
    tick();
    emit stateChanged();
}

void Playback::rewind()
{
    step(-transport::stepMs(m_player.length()));
}

void Playback::fastForward()
{
    step(transport::stepMs(m_player.length()));
}

void Playback::seekToClick(int x, int width)
{
    if (!m_open)
        return;
    m_player.pause();
    m_player.seek(transport::seekForClick(x, width, m_player.length()));
    tick();
    resume();
}

void Playback::tick()
{
    if (!m_open)
        return;
    if (m_player.mode() == TMediaPlayer::Mode::Stopped && m_player.position() >= m_player.length()) {
        close(); // played to its end
        return;
    }
    const qint64 length = m_player.length();
    const qint64 position = m_player.position();
    emit progress(position, length);
    if (m_trace && !m_playData.isEmpty() && length >= 1) {
        const double f = double(position) / double(length);
        const qsizetype at = std::clamp<qsizetype>(qsizetype(std::nearbyint(double(m_playData.size()) * f)), 0,
                                                   m_playData.size());
        const int count = int(std::min<qsizetype>(m_points, m_playData.size() - at));
        if (count > 0)
            emit samples(reinterpret_cast<const uint8_t*>(m_playData.constData() + at), count);
    }
}
