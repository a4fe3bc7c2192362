#include "AudioPlayers.h"

#include "AudioErrors.h"
#include "RiffReader.h"
#include "RiffWriter.h"
#include "SubStream.h"

#include "platform/FileSync.h"

#include <QFile>
#include <QIODevice>
#include <QTimer>
#include <algorithm>

namespace {

constexpr quint8 PlayerBufferCount = 4;
constexpr qint64 MaxBlock = 1 << 20; // a damaged header's rate cannot ask for more

void forwardTo(TdeAudioConvertor& convertor, const TOnPCMConverted& handler, QObject* sender)
{
    convertor.setOnAudioConverted([&handler, sender](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        if (handler)
            handler(sender, data, size);
    });
}

void openConvertor(TdeAudioConvertor& convertor, const TdeWaveFormat& in, const TdeWaveFormat& out)
{
    if (convertor.isActive())
        return;
    convertor.setFormatIn(in);
    convertor.setFormatOut(out);
    convertor.open();
}

void closeConvertor(TdeAudioConvertor& convertor)
{
    if (convertor.isActive())
        convertor.close();
}

} // namespace

// --- File player -----------------------------------------------------------------------

TQAudioPlayer::TQAudioPlayer(QObject* parent) : QObject(parent)
{
    m_out.setBufferCount(PlayerBufferCount);
    m_out.setAudioSource(&m_playConvert);
    m_out.OnAudioPlayed = [this](TdeAudioIO*, const void*, qint64) { bufferPlayed(); };
    m_out.OnDeviceError = [this](TdeAudioIO*, const QString& message) {
        if (OnError)
            OnError(this, message);
    };
    forwardTo(m_pcmConvert, OnPCMConveted, this);
}

TQAudioPlayer::~TQAudioPlayer()
{
    m_out.OnAudioPlayed = nullptr;
    Stop();
}

void TQAudioPlayer::Play(qint64 startMs)
{
    if (!m_stopped)
        Stop();
    auto file = std::make_unique<QFile>(FileName);
    if (!file->open(QIODevice::ReadOnly))
        throw EACMAudioStreamError(QStringLiteral("Cannot open file \"%1\". %2").arg(FileName, file->errorString()));
    m_file = std::move(file);
    m_completed = false;
    try {
        m_reader = std::make_unique<TdeRIFFAudioReader>(m_file.get());
        const TdeWaveFormat fileFormat = m_reader->trackFormat();
        TdeWaveFormat deviceFormat;
        deviceFormat.suggestPCM(fileFormat);
        m_out.setFormat(deviceFormat);
        openConvertor(m_playConvert, fileFormat, deviceFormat);
        openConvertor(m_pcmConvert, fileFormat, standardPcm8k());
        m_track = m_reader->openTrack();
        const qint64 align = std::max<qint64>(1, fileFormat.blockAlign());
        const qint64 offset = std::clamp<qint64>(startMs, 0, lengthMs()) * fileFormat.avgBytesPerSec() / 1000;
        m_track->seek(offset - offset % align, TdeSubStream::Origin::Beginning);
        m_startMs = fileFormat.avgBytesPerSec() ? m_track->position() * 1000 / fileFormat.avgBytesPerSec() : 0;
        m_out.Open();
        m_stopped = false;
        for (int i = 0; i <= PlayerBufferCount && sourceLeft(); ++i)
            readNextBlock();
        if (!sourceLeft())
            sourceEnded();
    } catch (...) {
        Stop();
        throw;
    }
}

bool TQAudioPlayer::sourceLeft() const
{
    return m_track && m_track->position() < m_track->size();
}

void TQAudioPlayer::readNextBlock()
{
    const TdeWaveFormat& in = m_playConvert.formatIn();
    m_blockSize = std::clamp<qint64>(in.avgBytesPerSec() / 4, std::max<int>(1, in.blockAlign()), MaxBlock);
    const qint64 remaining = m_track->size() - m_track->position();
    if (remaining < 2 * m_blockSize)
        m_blockSize = remaining;
    if (qint64(m_block.size()) < m_blockSize)
        m_block.resize(size_t(m_blockSize));
    const qint64 n = m_track->read(m_block.data(), m_blockSize);
    m_playConvert.convert(m_block.data(), n);
    m_pcmConvert.convert(m_block.data(), n);
}

// The file is read to its end: what the convertors and the pre-roll still
// hold is played too, so audio shorter than the pre-roll is heard.
void TQAudioPlayer::sourceEnded()
{
    m_playConvert.flush();
    m_pcmConvert.flush();
    m_out.Flush();
    if (m_out.inFlight() == 0) // nothing to play: the end comes as it would
        QTimer::singleShot(0, this, [this] {
            if (!m_stopped && m_out.inFlight() == 0)
                complete();
        });
}

void TQAudioPlayer::bufferPlayed()
{
    if (m_stopped)
        return;
    if (sourceLeft()) {
        do // a block the convertor keeps whole (part of a codec block) queues nothing
            readNextBlock();
        while (sourceLeft() && m_out.inFlight() == 0);
        if (!sourceLeft())
            sourceEnded();
    } else if (m_out.inFlight() == 0) {
        complete();
    }
}

void TQAudioPlayer::complete()
{
    if (m_completed)
        return;
    m_completed = true;
    if (OnAudioCompleted)
        OnAudioCompleted(this);
}

// Closing the device takes its buffers back from the card before it
// returns, so there is nothing left to wait for afterwards.
void TQAudioPlayer::Stop()
{
    m_out.Close();
    closeConvertor(m_playConvert);
    closeConvertor(m_pcmConvert);
    m_track = nullptr;
    m_reader.reset();
    m_file.reset();
    m_stopped = true;
}

qint64 TQAudioPlayer::playedMs() const
{
    const quint32 perSecond = m_out.format().avgBytesPerSec();
    if (m_stopped || perSecond == 0)
        return 0;
    return std::min(lengthMs(), m_startMs + m_out.playedBytes() * 1000 / perSecond);
}

qint64 TQAudioPlayer::lengthMs() const
{
    if (!m_reader || m_reader->trackFormat().avgBytesPerSec() == 0)
        return 0;
    return m_reader->trackSize() * 1000 / m_reader->trackFormat().avgBytesPerSec();
}

// --- Recorder --------------------------------------------------------------------------

TQAudioRecorder::TQAudioRecorder(QObject* parent) : QObject(parent)
{
    m_in.AutoOpen = false;
    m_in.AutoAdjustBufferSize = true;
    m_in.OnAudioRecorded = [this](TdeAudioIO*, const void* data, qint64 size) { bufferRecorded(data, size); };
    m_in.OnDeviceError = [this](TdeAudioIO*, const QString& message) {
        if (OnError)
            OnError(this, message);
    };
    forwardTo(m_pcmConvert, On8BitPCMConveted, this);
    m_fileConvert.setOnAudioConverted([this](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        if (m_writer)
            m_writer->writeData(data, size);
    });
}

TQAudioRecorder::~TQAudioRecorder()
{
    Stop();
}

void TQAudioRecorder::Start()
{
    if (!m_stopped)
        Stop();
    try {
        m_in.setFormat(AudioInFormat);
        m_in.setBufferSize(AudioInFormat.avgBytesPerSec() / 8 + 4);
        if (SaveToFile) {
            auto file = std::make_unique<QSaveFile>(FileName);
            if (!file->open(QIODevice::WriteOnly))
                throw EACMAudioStreamError(
                    QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, file->errorString()));
            m_file = std::move(file);
            m_writer = std::make_unique<TdeRIFFAudioWriter>(m_file.get());
            m_writer->setFormat(WavFormat);
            m_writer->setSyncOnRefresh(false); // synced once, when it takes the name
            openConvertor(m_fileConvert, AudioInFormat, WavFormat);
        }
        openConvertor(m_pcmConvert, AudioInFormat, standardPcm8k());
        m_in.Open();
        m_stopped = false;
    } catch (...) {
        Stop();
        throw;
    }
}

void TQAudioRecorder::bufferRecorded(const void* data, qint64 size)
{
    if (SaveToFile && m_fileConvert.isActive())
        m_fileConvert.convert(data, size);
    m_pcmConvert.convert(data, size);
}

qint64 TQAudioRecorder::bytesWritten() const
{
    return m_writer ? m_writer->bytesWritten() : 0;
}

bool TQAudioRecorder::Stop()
{
    m_in.Close();
    bool saved = true;
    try {
        if (m_fileConvert.isActive())
            m_fileConvert.flush();
        if (m_writer && m_writer->bytesWritten() > 0)
            m_writer->finish();
    } catch (const std::exception&) {
        saved = false;
    }
    closeConvertor(m_fileConvert);
    closeConvertor(m_pcmConvert);
    const bool haveAudio = m_writer && m_writer->bytesWritten() > 0;
    m_writer.reset();
    if (m_file) {
        if (saved && haveAudio)
            saved = commitSynced(*m_file);
        else
            m_file->cancelWriting(); // the file that was there stays as it was
        m_file.reset();
    }
    m_stopped = true;
    return saved;
}

// --- Raw player ------------------------------------------------------------------------

TRawDataPlayer::TRawDataPlayer(QObject* parent) : QObject(parent)
{
    m_out.setBufferCount(PlayerBufferCount);
    m_out.setFormat(standardPcm8k());
    m_out.OnAudioPlayed = [this](TdeAudioIO*, const void*, qint64) { bufferPlayed(); };
    m_out.OnDeviceError = [this](TdeAudioIO*, const QString& message) {
        m_playing = false;
        if (OnError)
            OnError(this, message);
    };
}

TRawDataPlayer::~TRawDataPlayer()
{
    Stop();
}

void TRawDataPlayer::Play(QIODevice* stream)
{
    Stop();
    m_stream = stream;
    m_out.Open();
    m_playing = true;
    m_stream->seek(0);
    for (int i = 0; i <= PlayerBufferCount; ++i)
        queueNext();
    if (m_stream->atEnd()) {
        m_out.Flush();
        if (m_out.inFlight() == 0)
            QTimer::singleShot(0, this, [this] {
                if (m_playing && m_out.inFlight() == 0)
                    finish();
            });
    }
}

void TRawDataPlayer::queueNext()
{
    const qint64 n = m_stream->read(m_block, BlockSize);
    if (n > 0)
        m_out.Queue(m_block, n);
}

void TRawDataPlayer::bufferPlayed()
{
    if (!m_playing)
        return;
    if (!m_stream->atEnd()) {
        queueNext();
        if (m_stream->atEnd())
            m_out.Flush();
    } else if (m_out.inFlight() == 0) {
        finish();
    }
}

void TRawDataPlayer::finish()
{
    m_out.Close();
    m_playing = false;
    if (OnCompleted)
        OnCompleted(this);
}

void TRawDataPlayer::Stop()
{
    m_out.Close();
    m_playing = false;
}
