#pragma once

// Audio for tests of the voice paths: a speech-like signal, WAV files of it,
// and how closely two signals match.
#include "audio/RiffReader.h"
#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"

#include <QFile>
#include <QString>
#include <cmath>
#include <cstdint>
#include <vector>

namespace voicesignal {

constexpr int Rate = 8000;

// Two seconds of a voice-like sound: a gliding pitch with harmonics under a
// syllable envelope, so no two stretches of it look alike.
inline std::vector<int16_t> speechLike()
{
    std::vector<int16_t> s(2 * Rate);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / Rate;
        phase += 2 * M_PI * (140 + 60 * std::sin(2 * M_PI * 0.7 * t)) / Rate;
        const double envelope = 0.2 + 0.8 * std::pow(std::sin(M_PI * 4 * t), 2);
        const double v = std::sin(phase) + 0.5 * std::sin(3 * phase) + 0.25 * std::sin(7 * phase);
        s[i] = int16_t(std::lround(9000 * envelope * v));
    }
    return s;
}

inline bool writeWav(const QString& path, const std::vector<int16_t>& samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(pcmFormat(Rate, 16, 1));
    writer.writeData(samples.data(), qint64(samples.size() * 2));
    writer.finish();
    return true;
}

// The samples of a 16-bit file, and its format.
inline std::vector<int16_t> readWav16(const QString& path, TdeWaveFormat& format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    TdeRIFFAudioReader reader(&file);
    format = reader.trackFormat();
    std::vector<int16_t> samples(size_t(reader.trackSize() / 2));
    reader.readTrack(0, samples.data(), qint64(samples.size() * 2));
    return samples;
}

// Signal-to-error ratio in dB of `got` against `sent`, `got` read from an offset.
inline double matchDb(const std::vector<int16_t>& sent, const std::vector<int16_t>& got, size_t offset, size_t count)
{
    double signal = 0, error = 0;
    for (size_t i = 0; i < count; ++i) {
        const double a = sent[i], b = got[offset + i];
        signal += a * a;
        error += (a - b) * (a - b);
    }
    return 10 * std::log10(signal / std::max(error, 1.0));
}

// The best normalised correlation of `sent` with `got` shifted by up to
// maxLag samples either way.
inline double correlation(const std::vector<int16_t>& sent, const std::vector<int16_t>& got, int maxLag)
{
    double best = 0;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double sab = 0, saa = 0, sbb = 0;
        for (size_t i = 0; i < sent.size(); ++i) {
            const long j = long(i) + lag;
            if (j < 0 || size_t(j) >= got.size())
                continue;
            sab += double(sent[i]) * got[size_t(j)];
            saa += double(sent[i]) * sent[i];
            sbb += double(got[size_t(j)]) * got[size_t(j)];
        }
        if (saa > 0 && sbb > 0)
            best = std::max(best, sab / std::sqrt(saa * sbb));
    }
    return best;
}

} // namespace voicesignal
