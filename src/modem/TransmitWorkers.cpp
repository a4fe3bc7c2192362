#include "TransmitWorkers.h"

#include "audio/AudioConvertor.h"
#include "audio/AudioErrors.h"
#include "audio/RiffReader.h"
#include "audio/SubStream.h"
#include "modem/Shielding.h"
#include "modem/TQVModem253.h"
#include "platform/SerialPort.h"
#include "platform/RegularFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <vector>

namespace {

constexpr int RetrySleepMs = 40;
// The most audio a worker sends ahead of what the line has played. A
// pseudo-terminal or a USB modem buffers far more than the port reports as
// queued; without this a stop would be heard seconds late.
constexpr qint64 MaxLeadMs = 500;
// Free room a write leaves in the output buffer, as the send step asks.
constexpr int WriteMargin = 10;

qint64 nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}

} // namespace

TransmitWorker::TransmitWorker(TQVModem253& engine, Kind kind, quint64 id, const LineFormat& line)
    : m_engine(engine), m_line(line), m_kind(kind), m_id(id)
{
}

qint64 TransmitWorker::lineMs() const
{
    return qint64(double(nowMs()) * m_line.speed);
}

void TransmitWorker::run()
{
    m_startMs = lineMs();
    work();
    m_done = true;
}

qint64 TransmitWorker::unplayedMs() const
{
    const quint32 perSecond = std::max<quint32>(m_line.modem.avgBytesPerSec(), 1);
    const qint64 sentMs = m_sentBytes.load() * 1000 / perSecond;
    return std::max<qint64>(0, sentMs - (lineMs() - m_startMs));
}

bool TransmitWorker::sendLineBytes(const char* data, qsizetype size)
{
    if (m_scratch.size() < size_t(3 * size)) // grows once to the largest piece
        m_scratch.resize(size_t(3 * size));
    char* flipped = m_scratch.data();
    char* shielded = m_scratch.data() + size;
    const char* piece = data;
    if (m_line.flipSign) { // unsigned WAV samples become the modem's signed ones
        for (qsizetype i = 0; i < size; ++i)
            flipped[i] = char(uint8_t(data[i]) ^ 0x80);
        piece = flipped;
    }
    const qsizetype length = shieldVoiceData(piece, size, shielded);
    if (!sendStep(QByteArray::fromRawData(shielded, length)))
        return false;
    m_sentBytes += size;
    return true;
}

// Waits for the output buffer to have room for the whole string (or, for
// a string longer than the buffer, for the buffer to be empty), then writes
// it; the modem, the port's flow control and this wait pace the audio.
bool TransmitWorker::sendStep(const QByteArray& bytes)
{
    SerialPort* port = m_engine.serialPort();
    for (;;) {
        if (stopRequested() || !port || !port->isOpen())
            return false;
        const int free = port->outBuffFree();
        if (unplayedMs() <= MaxLeadMs && (free > bytes.size() + WriteMargin || free >= port->outSize()))
            return port->write(bytes);
        QThread::msleep(std::max<unsigned long>(1, (unsigned long)(RetrySleepMs / m_line.speed)));
    }
}

void TransmitWorker::fail(const QString& why)
{
    m_engine.transmitFailed(why);
}

// --- A WAV file --------------------------------------------------------------------

Twav2Line::Twav2Line(TQVModem253& engine, quint64 id, const LineFormat& line, QString fileName, uint8_t mode)
    : TransmitWorker(engine, Kind::Wave, id, line), m_fileName(std::move(fileName)), m_mode(mode)
{
}

qint64 Twav2Line::pieceSize(const TdeWaveFormat& format)
{
    const qint64 perPiece = format.avgBytesPerSec() / 16;
    const qint64 block = std::max<qint64>(format.blockAlign(), 1);
    if (perPiece == 0)
        return 0;
    return std::max(block, perPiece / block * block);
}

void Twav2Line::work()
{
    if (!startStream())
        return; // nothing was sent; the stream never started
    try {
        playFile();
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
    }
    // Also after a failure: the modem leaves the stream, the call goes on.
    m_engine.EndTransmit(id());
}

bool Twav2Line::startStream()
{
    bool ready = m_mode == TQVModem253::ModeVoice || m_engine.SetVoiceMode() == TQVModem253::ReplyOk;
    if (m_engine.GetVoiceState() != TQVModem253::VoiceIdle)
        ready = false;
    return ready && m_engine.StartVTX() == TQVModem253::ReplyConnect;
}

void Twav2Line::playFile()
{
    RegularFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EACMAudioStreamError(QStringLiteral("Cannot open file \"%1\". %2").arg(m_fileName, file.errorString()));
    TdeRIFFAudioReader reader(&file);
    const TdeWaveFormat format = reader.trackFormat();
    const qint64 piece = pieceSize(format);
    if (piece == 0)
        throw EACMAudioReadError(QStringLiteral("%1 has fewer than 16 bytes of audio a second").arg(m_fileName));
    TdeAudioConvertor convertor;
    convertor.setFormatIn(format);
    convertor.setFormatOut(m_line.modem);
    convertor.setOnAudioConverted([this](TdeAudioConvertor*, const void* data, qint64 size, bool& abort) {
        if (!sendLineBytes(static_cast<const char*>(data), size))
            abort = true;
    });
    convertor.open();
    const std::unique_ptr<TdeSubStream> track(reader.openTrack(0));
    std::vector<char> buffer(size_t(std::min(2 * piece, std::max<qint64>(track->size(), 1))));
    for (qint64 left = track->size(); left > 0 && !stopRequested();) {
        const qint64 n = left < 2 * piece ? left : piece;
        if (track->read(buffer.data(), n) != n)
            throw EACMAudioReadError(QStringLiteral("Cannot read %1").arg(m_fileName));
        convertor.convert(buffer.data(), n);
        left -= n;
    }
    if (!stopRequested())
        convertor.flush();
    convertor.close();
}

// --- Rendered audio --------------------------------------------------------------------

TTransmitRawAsync::TTransmitRawAsync(TQVModem253& engine, quint64 id, const LineFormat& line, QByteArray data)
    : TransmitWorker(engine, Kind::Raw, id, line), m_data(std::move(data))
{
}

void TTransmitRawAsync::work()
{
    if (m_data.size() >= BlockSize) {
        try {
            // 8 kHz 8-bit audio in, the modem's format out.
            TdeAudioConvertor convertor;
            convertor.setFormatIn(standardPcm8k());
            convertor.setFormatOut(m_line.modem);
            const bool direct = m_line.modem == standardPcm8k();
            convertor.setOnAudioConverted([this](TdeAudioConvertor*, const void* data, qint64 size, bool& abort) {
                if (!sendLineBytes(static_cast<const char*>(data), size))
                    abort = true;
            });
            if (!direct)
                convertor.open();
            for (qsizetype at = 0; at < m_data.size() && !stopRequested(); at += BlockSize) {
                const qsizetype n = std::min(BlockSize, m_data.size() - at);
                if (direct)
                    sendLineBytes(m_data.constData() + at, n);
                else
                    convertor.convert(m_data.constData() + at, n);
                // every block, as the raw send step does
                QThread::msleep(std::max<unsigned long>(1, (unsigned long)(RetrySleepMs / m_line.speed)));
            }
            if (!direct) {
                if (!stopRequested())
                    convertor.flush();
                convertor.close();
            }
        } catch (const std::exception& e) {
            fail(QString::fromUtf8(e.what()));
        }
    }
    m_engine.EndTransmit(id());
}
