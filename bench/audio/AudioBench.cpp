// Whole-file conversions of one-hour recordings, and the per-block cost of
// each driver once its chain is prepared. compare_sox.sh runs the same
// whole-file conversions with sox in the same run.
//
// VELMORA_BENCH_DIR names a folder holding hour8.wav (8 kHz 8-bit mono) and
// hour_gsm.wav (GSM 6.10); without it they are made in a temporary folder.
#include "audio/AudioConvertor.h"
#include "audio/FileConversion.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"
#include "audio/RiffWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

QString benchDir()
{
    static QTemporaryDir temporary;
    const QByteArray given = qgetenv("VELMORA_BENCH_DIR");
    return given.isEmpty() ? temporary.path() : QString::fromLocal8Bit(given);
}

QString hourFile()
{
    const QString path = benchDir() + QStringLiteral("/hour8.wav");
    if (QFile::exists(path))
        return path;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(standardPcm8k());
    QByteArray second(8000, '\0');
    for (int s = 0; s < 3600; ++s) {
        for (int i = 0; i < second.size(); ++i)
            second[i] = char(128 + 90 * std::sin((s * 8000 + i) * (0.2 + 0.1 * std::sin(s * 0.01))));
        writer.writeData(second.constData(), second.size());
    }
    return path;
}

QString gsmHourFile()
{
    const QString path = benchDir() + QStringLiteral("/hour_gsm.wav");
    if (!QFile::exists(path))
        ConvertWavFile(hourFile(), path, gsmFormat(8000));
    return path;
}

void convertHour(benchmark::State& state, const TdeWaveFormat& to)
{
    const QString in = hourFile();
    const QString out = benchDir() + QStringLiteral("/bench_out.wav");
    for (auto _ : state)
        benchmark::DoNotOptimize(ConvertWavFile(in, out, to));
    QFile::remove(out);
}

void BM_HourToPcm44kStereo(benchmark::State& state)
{
    convertHour(state, pcmFormat(44100, 16, 2));
}

void BM_HourToGsm(benchmark::State& state)
{
    convertHour(state, gsmFormat(8000));
}

void BM_HourToImaAdpcm(benchmark::State& state)
{
    convertHour(state, imaAdpcmFormat(8000, 1));
}

void BM_WavToPcm8kGsmHour(benchmark::State& state)
{
    const QString in = gsmHourFile();
    for (auto _ : state) {
        QBuffer memory;
        memory.open(QIODevice::ReadWrite);
        WavToPcm8k(in, memory);
        benchmark::DoNotOptimize(memory.size());
    }
}

// One 1536-byte block of 8 kHz 8-bit audio (the modem engine's block) through
// a prepared chain.
void blockThrough(benchmark::State& state, const TdeWaveFormat& to)
{
    TdeAudioConvertor convertor;
    convertor.setFormatIn(standardPcm8k());
    convertor.setFormatOut(to);
    convertor.open();
    QByteArray block(1536, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(128 + 90 * std::sin(i * 0.3));
    for (auto _ : state)
        convertor.convert(block.constData(), block.size());
    state.SetBytesProcessed(state.iterations() * block.size());
}

void BM_BlockToPcm44kStereo(benchmark::State& state)
{
    blockThrough(state, pcmFormat(44100, 16, 2));
}

void BM_BlockToGsm(benchmark::State& state)
{
    blockThrough(state, gsmFormat(8000));
}

void BM_BlockToImaAdpcm(benchmark::State& state)
{
    blockThrough(state, imaAdpcmFormat(8000, 1));
}

} // namespace

BENCHMARK(BM_HourToPcm44kStereo)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HourToGsm)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HourToImaAdpcm)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WavToPcm8kGsmHour)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BlockToPcm44kStereo);
BENCHMARK(BM_BlockToGsm);
BENCHMARK(BM_BlockToImaAdpcm);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
