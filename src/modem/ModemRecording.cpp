// Recording a receive stream: the voice data path from the modem's bytes to
// the WAV file, and the live 8 kHz blocks for the display and the detector.
#include "TQVModem253.h"

#include "audio/AudioConvertor.h"
#include "audio/AudioErrors.h"
#include "audio/RiffWriter.h"
#include "linedsp/TQVMdsp.h"

#include <QFile>
#include <cstring>

namespace {

// Appends bytes to a fixed block whose last written position is `index`
// (-1: empty); each time the block is full it is handed to full() and
// starts again empty.
template <size_t N, typename Full>
void gather(std::array<uint8_t, N>& block, int& index, const uint8_t* data, qsizetype size, Full&& full)
{
    while (size > 0) {
        const qsizetype n = std::min(qsizetype(N) - (index + 1), size);
        std::memcpy(block.data() + index + 1, data, size_t(n));
        index += int(n);
        data += n;
        size -= n;
        if (index == int(N) - 1) {
            index = -1;
            full();
        }
    }
}

} // namespace

void TQVModem253::setUpRecording()
{
    MonitorConvertor = std::make_unique<TdeAudioConvertor>();
    FileConvertor = std::make_unique<TdeAudioConvertor>();
    MonitorConvertor->setOnAudioConverted([this](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        PCMConverted(static_cast<const uint8_t*>(data), size);
    });
    FileConvertor->setOnAudioConverted([this](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        FileConverted(static_cast<const uint8_t*>(data), size);
    });
}

bool TQVModem253::StartRecording(const QString& fileName)
{
    // The stream is checked first: a mode command sent into a running stream
    // would be taken for voice data.
    if (VoiceState.load() != VoiceIdle)
        return false;
    if (ModemMode.load() != ModeVoice && SetVoiceMode() != ReplyOk)
        return false;
    if (lineTaken())
        return StartReceiveToFile(fileName);
    return cmdVls() == ReplyOk && StartReceiveToFile(fileName);
}

// The file and the convertors are ready before the stream starts: voice data
// often comes in the same read as CONNECT, and is processed inside the wait
// for it; made afterwards, they missed the first words of every recording.
bool TQVModem253::StartReceiveToFile(const QString& fileName)
{
    if (DSP)
        DSP->ResetDetector();
    Recording = false;
    PcmIndex = -1;
    RxIndex = -1;
    RecordingProblem.clear();
    const bool fileExisted = QFile::exists(fileName);
    try {
        openRecordingFile(fileName);
        openConvertors();
    } catch (const std::exception& e) {
        Log(QStringLiteral("Recording not started: %1").arg(QString::fromUtf8(e.what())));
        abandonRecordingFile(fileName, fileExisted);
        return false;
    }
    Recording = true;
    const int started = StartVRX();
    if (started == ReplyConnect || started == ReplyOk)
        return true;
    Recording = false;
    abandonRecordingFile(fileName, fileExisted);
    return false;
}

void TQVModem253::openConvertors()
{
    TdeWaveFormat modemFormat;
    modemFormat.setFormatBuffer(Profile.modemCompression);
    // Only 8-bit samples change sign: 16-bit PCM in WAV is signed already.
    FlipSign = modemFormat.bitsPerSample() == 8
            && Profile.compressionDesc.trimmed().compare(QLatin1String("SIGNED PCM"), Qt::CaseInsensitive) == 0;
    FileConvertor->setFormatIn(modemFormat);
    FileConvertor->setFormatOut(DTEfmt);
    MonitorConvertor->setFormatIn(modemFormat);
    MonitorConvertor->setFormatOut(standardPcm8k());
    if (!MonitorConvertor->isActive())
        MonitorConvertor->open();
    if (!FileConvertor->isActive())
        FileConvertor->open();
}

// A recording that never started leaves no empty file behind.
void TQVModem253::abandonRecordingFile(const QString& fileName, bool fileExisted)
{
    closeRecordingFile();
    closeConvertors();
    if (!fileExisted)
        QFile::remove(fileName);
}

void TQVModem253::openRecordingFile(const QString& fileName)
{
    auto stream = std::make_unique<QFile>(fileName);
    // Unbuffered: the writer brings the file up to date itself, and a
    // buffer would only add copies.
    if (!stream->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw EACMAudioStreamError(QStringLiteral("Cannot create %1: %2").arg(fileName, stream->errorString()));
    WaveStream = std::move(stream);
    WaveWriter = std::make_unique<TdeRIFFAudioWriter>(WaveStream.get());
    WaveWriter->setFormat(DTEfmt);
}

// The writer goes first: it completes the header on the stream.
void TQVModem253::closeRecordingFile()
{
    if (WaveWriter) {
        try {
            WaveWriter->finish();
        } catch (const std::exception& e) {
            Log(QStringLiteral("Recording file not completed: %1").arg(QString::fromUtf8(e.what())));
        }
    }
    WaveWriter.reset();
    WaveStream.reset();
}

void TQVModem253::closeConvertors()
{
    if (MonitorConvertor->isActive())
        MonitorConvertor->close();
    if (FileConvertor->isActive())
        FileConvertor->close();
}

bool TQVModem253::StopRecording(bool hangUp)
{
    if (VoiceState.load() != VoiceReceive)
        return true;
    int result = StopVRX();
    if (result != ReplyOk)
        result = StopVRX();
    Recording = false;
    finishFileAudio();
    if (result == ReplyOk) {
        closeRecordingFile();
        closeConvertors();
        if (!hangUp)
            return true;
        Sleep(100);
        return cmdOnHook() == ReplyOk;
    }
    // The modem stays in its stream: closing the port makes it leave.
    ReleaseModem();
    closeRecordingFile();
    closeConvertors();
    return false;
}

// One piece of unshielded voice data in the modem's format.
void TQVModem253::voiceDataPath(const char* data, qsizetype size)
{
    // Gathered into whole blocks; a block is handed on as soon as it is full.
    gather(RxBlock, RxIndex, reinterpret_cast<const uint8_t*>(data), size, [this] {
        if (FlipSign) // signed 8-bit samples become the unsigned ones of WAV
            for (uint8_t& b : RxBlock)
                b ^= 0x80;
        convertRxBlock();
    });
}

// A codec or disk failure never ends the live blocks: the disconnect
// detection and the display go on, so the call still ends by itself. The
// error is logged once and the file keeps what was written before it.
void TQVModem253::convertRxBlock()
{
    if (MonitorConvertor->isActive()) {
        try {
            MonitorConvertor->convert(RxBlock.data(), qint64(RxBlock.size()));
        } catch (const std::exception& e) {
            Log(QStringLiteral("Live audio stopped: %1").arg(QString::fromUtf8(e.what())));
            MonitorConvertor->close();
        }
    }
    if (FileConvertor->isActive()) {
        try {
            FileConvertor->convert(RxBlock.data(), qint64(RxBlock.size()));
        } catch (const std::exception& e) {
            RecordingProblem = QString::fromUtf8(e.what());
            Log(QStringLiteral("Recording stopped writing: %1").arg(RecordingProblem));
            FileConvertor->close();
            closeRecordingFile();
        }
    }
}

// The part block the stream ended in, and what the codecs still hold,
// belong to the file too: without them each recording lost its last 0.2 s.
void TQVModem253::finishFileAudio()
{
    if (!FileConvertor->isActive())
        return;
    try {
        if (RxIndex >= 0) {
            if (FlipSign)
                for (int i = 0; i <= RxIndex; ++i)
                    RxBlock[size_t(i)] ^= 0x80;
            FileConvertor->convert(RxBlock.data(), qint64(RxIndex + 1));
            RxIndex = -1;
        }
        FileConvertor->flush();
    } catch (const std::exception& e) {
        RecordingProblem = QString::fromUtf8(e.what());
        Log(QStringLiteral("Recording stopped writing: %1").arg(RecordingProblem));
    }
}

void TQVModem253::FileConverted(const uint8_t* buffer, qint64 size)
{
    if (WaveWriter)
        WaveWriter->writeData(buffer, size);
}

void TQVModem253::PCMConverted(const uint8_t* buffer, qint64 size)
{
    // Through the scratch buffer in pieces, so an output larger than it
    // cannot overrun it.
    while (size > 0) {
        const qsizetype n = std::min<qint64>(size, qint64(ConvertScratch.size()));
        std::memcpy(ConvertScratch.data(), buffer, size_t(n));
        buffer += n;
        size -= n;
        gatherPcm(ConvertScratch.data(), n);
    }
}

void TQVModem253::gatherPcm(const uint8_t* data, qsizetype size)
{
    gather(PcmBlock, PcmIndex, data, size, [this] {
        // Called in place, not through a copy: copying the handler could
        // allocate five times a second.
        if (OnPCMdata)
            OnPCMdata(PcmBlock.data(), int(PcmBlock.size()));
        if (DSP)
            DSP->ProcessBlock(PcmBlock);
    });
}
