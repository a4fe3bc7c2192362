// A mail's attachment: a minute of a real speaker, as the modem records it
// (8 kHz, 8-bit), encoded to Opus in Ogg. Reports the time and the bytes
// per minute of message.
#include "notify/OpusAttachment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// A minute of Debian's recorded prompts (asterisk-prompt-es-co), as one file.
QString minuteOfSpeech(const QTemporaryDir& dir)
{
    const QDir prompts(QStringLiteral("/usr/share/asterisk/sounds/es"));
    QStringList args;
    for (const QString& name : prompts.entryList({QStringLiteral("*.gsm")}, QDir::Files, QDir::Name))
        args << prompts.filePath(name);
    const QString out = dir.filePath(QStringLiteral("minute.wav"));
    args << QStringLiteral("-r") << QStringLiteral("8000") << QStringLiteral("-b") << QStringLiteral("8") << QStringLiteral("-e")
         << QStringLiteral("unsigned") << out << QStringLiteral("trim") << QStringLiteral("0") << QStringLiteral("60");
    QProcess::execute(QStringLiteral("sox"), args);
    return out;
}

void BM_OpusAttachmentOfAMinute(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString wav = minuteOfSpeech(dir);
    const QString ogg = dir.filePath(QStringLiteral("minute.ogg"));
    if (!QFileInfo(wav).isFile()) {
        state.SkipWithError("sox could not make the minute (install asterisk-prompt-es-co)");
        return;
    }
    for (auto _ : state) {
        QString error;
        if (!opusattachment::encode(wav, ogg, &error))
            state.SkipWithError(error.toUtf8().constData());
    }
    state.counters["wav_bytes_per_minute"] = double(QFileInfo(wav).size());
    state.counters["opus_bytes_per_minute"] = double(QFileInfo(ogg).size());
}
BENCHMARK(BM_OpusAttachmentOfAMinute)->Unit(benchmark::kMillisecond);

} // namespace
