#include "app/TransportMath.h"

#include <algorithm>
#include <cmath>

namespace transport {

qint64 stepMs(qint64 lengthMs)
{
    return lengthMs >= 60 ? lengthMs / 60 : 1;
}

int sliderPosition(qint64 positionMs, qint64 lengthMs)
{
    if (lengthMs < 1)
        return 0;
    const double f = std::clamp(double(positionMs) / double(lengthMs), 0.0, 1.0);
    return int(std::nearbyint(SliderRange * f));
}

qint64 seekForClick(int x, int width, qint64 lengthMs)
{
    const int track = width - 2 * ThumbHalfWidth;
    if (track <= 0 || lengthMs <= 0)
        return 0;
    const double f = double(x - ThumbHalfWidth) / double(track);
    return std::clamp<qint64>(qint64(std::nearbyint(double(lengthMs) * f)), 0, lengthMs);
}

QString clockText(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg((seconds / 3600) % 24, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace transport
