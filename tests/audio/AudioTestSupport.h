#pragma once

#include "TestSupport.h"
#include "audio/WaveFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

namespace audiotest {

QByteArray le16(quint16 value);
QByteArray le32(quint32 value);
QByteArray chunk(const char* id, const QByteArray& body);
// "RIFF", the length (by default the true one), "WAVE", then the chunks.
QByteArray riffFile(const QByteArray& chunks, qint64 riffLength = -1);
// The first 16 bytes of a format: what a PCM "fmt " chunk holds.
QByteArray pcmFmtBody(quint32 rate, quint16 bits, quint16 channels);

// The audio bytes of a WAV file as the reader sees them.
struct ParsedWav
{
    TdeWaveFormat format;
    qint64 dataOffset = 0;
    QByteArray data;
};
ParsedWav parseWav(const QByteArray& file);

// Writes a whole file through the RIFF writer.
void writeWav(const QString& path, const TdeWaveFormat& format, const QByteArray& audio);

// Runs input through a convertor blockBytes at a time (all at once for 0),
// flushes it, and returns everything it delivered.
QByteArray convertAll(const TdeWaveFormat& from, const TdeWaveFormat& to, const QByteArray& input,
                      qint64 blockBytes);

// sox on PATH, or the test is skipped.
#define REQUIRE_SOX()                                                                                                  \
    if (!testsupport::haveProgram(QStringLiteral("sox")))                                                              \
    GTEST_SKIP() << "sox is not installed"

// Runs sox (or soxi) and fails the test with its message when it fails.
QByteArray sox(const QStringList& args);
QByteArray soxi(const QStringList& args);

// Deterministic test signal: 16-bit samples of a sine plus a little noise.
std::vector<qint16> testSignal(int frames, int channels, double frequency, double rate);
QByteArray toBytes(const std::vector<qint16>& samples);

} // namespace audiotest
