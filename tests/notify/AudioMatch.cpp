#include "AudioMatch.h"

#include "TestSupport.h"

#include <QDir>
#include <cmath>
#include <vector>

namespace {

std::vector<double> envelope(const QString& file, const QString& scratch, QString* error, double* seconds)
{
    QString wav = file;
    if (file.endsWith(QLatin1String(".ogg"))) {
        wav = QDir(scratch).filePath(QStringLiteral("decoded.wav"));
        const auto r = testsupport::run(QStringLiteral("opusdec"), {QStringLiteral("--quiet"), QStringLiteral("--rate"),
                                                                    QStringLiteral("8000"), file, wav});
        if (r.exitCode != 0)
            *error = QStringLiteral("opusdec: ") + QString::fromUtf8(r.err);
    }
    const auto raw = testsupport::run(QStringLiteral("sox"), {wav, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-e"),
                                                              QStringLiteral("signed"), QStringLiteral("-b"), QStringLiteral("16"),
                                                              QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
                                                              QStringLiteral("1"), QStringLiteral("-")});
    if (raw.exitCode != 0)
        *error += QStringLiteral("sox: ") + QString::fromUtf8(raw.err);
    const auto* samples = reinterpret_cast<const int16_t*>(raw.out.constData());
    const size_t count = size_t(raw.out.size()) / 2;
    *seconds = double(count) / 8000;
    std::vector<double> frames;
    for (size_t start = 0; start + 160 <= count; start += 160) {
        double sum = 0;
        for (size_t i = start; i < start + 160; ++i)
            sum += double(samples[i]) * samples[i];
        frames.push_back(std::log10(1 + std::sqrt(sum / 160)));
    }
    return frames;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b, long shift)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    long n = 0;
    for (long i = 0; i < long(a.size()); ++i) {
        const long j = i + shift;
        if (j < 0 || j >= long(b.size()))
            continue;
        sa += a[size_t(i)], sb += b[size_t(j)], saa += a[size_t(i)] * a[size_t(i)];
        sbb += b[size_t(j)] * b[size_t(j)], sab += a[size_t(i)] * b[size_t(j)];
        ++n;
    }
    if (n < 10 || n < long(a.size()) * 8 / 10)
        return 0;
    const double cov = sab - sa * sb / double(n), va = saa - sa * sa / double(n), vb = sbb - sb * sb / double(n);
    return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
}

} // namespace

AudioMatch matchAudio(const QString& reference, const QString& candidate, const QString& scratchDir)
{
    AudioMatch m;
    const auto a = envelope(reference, scratchDir, &m.error, &m.seconds[0]);
    const auto b = envelope(candidate, scratchDir, &m.error, &m.seconds[1]);
    // The candidate may start later than the reference (a recording that
    // began before the speech), up to the length of both.
    for (long shift = -50; shift <= long(b.size()); ++shift)
        m.correlation = std::max(m.correlation, correlation(a, b, shift));
    return m;
}
