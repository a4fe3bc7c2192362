#include "AudioTestSupport.h"

#include "TestSupport.h"
#include "audio/AudioConvertor.h"
#include "audio/RiffReader.h"
#include "audio/RiffWriter.h"
#include "audio/SubStream.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

namespace audiotest {

QByteArray le16(quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 2);
}

QByteArray le32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray chunk(const char* id, const QByteArray& body)
{
    return QByteArray(id, 4) + le32(quint32(body.size())) + body;
}

QByteArray riffFile(const QByteArray& chunks, qint64 riffLength)
{
    const quint32 length = riffLength < 0 ? quint32(4 + chunks.size()) : quint32(riffLength);
    return "RIFF" + le32(length) + "WAVE" + chunks;
}

QByteArray pcmFmtBody(quint32 rate, quint16 bits, quint16 channels)
{
    return pcmFormat(rate, bits, channels).formatBuffer().left(16);
}

ParsedWav parseWav(const QByteArray& file)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    TdeRIFFAudioReader reader(&buffer);
    ParsedWav parsed{reader.trackFormat(), reader.dataOffset(), QByteArray(reader.trackSize(), '\0')};
    parsed.data.resize(reader.readTrack(0, parsed.data.data(), parsed.data.size()));
    return parsed;
}

void writeWav(const QString& path, const TdeWaveFormat& format, const QByteArray& audio)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot create " + path.toStdString());
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(format);
    writer.writeData(audio.constData(), audio.size());
    writer.finish();
}

QByteArray convertAll(const TdeWaveFormat& from, const TdeWaveFormat& to, const QByteArray& input,
                      qint64 blockBytes)
{
    TdeAudioConvertor convertor;
    convertor.setFormatIn(from);
    convertor.setFormatOut(to);
    QByteArray output;
    convertor.setOnAudioConverted([&](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        output.append(static_cast<const char*>(data), size);
    });
    convertor.open();
    const qint64 block = blockBytes > 0 ? blockBytes : std::max<qint64>(input.size(), 1);
    for (qint64 at = 0; at < input.size(); at += block)
        convertor.convert(input.constData() + at, std::min(block, input.size() - at));
    convertor.flush();
    convertor.close();
    return output;
}

namespace {
QByteArray runChecked(const QString& program, const QStringList& args)
{
    const testsupport::ProcessResult result = testsupport::run(program, args);
    EXPECT_EQ(result.exitCode, 0) << program.toStdString() << ' ' << args.join(' ').toStdString() << ": "
                                  << result.err.toStdString();
    return result.out;
}
} // namespace

QByteArray sox(const QStringList& args)
{
    return runChecked(QStringLiteral("sox"), QStringList{QStringLiteral("-q"), QStringLiteral("-D")} + args);
}

QByteArray soxi(const QStringList& args)
{
    return runChecked(QStringLiteral("soxi"), args).trimmed();
}

std::vector<qint16> testSignal(int frames, int channels, double frequency, double rate)
{
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> noise(-300, 300);
    std::vector<qint16> samples;
    samples.reserve(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(qint16(12000 * std::sin(2 * M_PI * frequency * (c + 1) * i / rate) + noise(random)));
    return samples;
}

QByteArray toBytes(const std::vector<qint16>& samples)
{
    QByteArray bytes;
    for (qint16 s : samples)
        bytes += le16(quint16(s));
    return bytes;
}

} // namespace audiotest
