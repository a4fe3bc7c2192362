#pragma once

#include <QString>
#include <QtGlobal>

// The arithmetic of the transport: positions, steps and time texts.
namespace transport {

constexpr int SliderRange = 1000;
constexpr int ThumbHalfWidth = 6; // not part of the track at either end

// Rewind and Fast forward move by a sixtieth of the length (1 ms below 60 ms).
qint64 stepMs(qint64 lengthMs);
// The slider's position for a playback position.
int sliderPosition(qint64 positionMs, qint64 lengthMs);
// Where a release at x on a slider w pixels wide seeks to.
qint64 seekForClick(int x, int width, qint64 lengthMs);
// "hh:nn:ss", the hours of the day.
QString clockText(qint64 ms);

} // namespace transport
