#include "RingTracker.h"

#include "modem/ModemProfile.h"

#include <climits>
#include <cmath>

RingTracker::Outcome RingTracker::ring(Source, uint32_t now, int ringSpan)
{
    Outcome outcome;
    const bool sameRing = partOfLastRing(now);
    m_lastReportTick = now; // a burst of reports is one ring however long it runs
    if (sameRing)
        return outcome;
    outcome.counted = true;
    ++m_ringCounter;
    int span = ringSpan;
    if (ringSpan == UnmeasuredRingSpan) {
        if (!m_firstRingTick) {
            m_firstRingTick = now;
        } else {
            m_secondRingTick = now;
            const uint32_t elapsed = now - *m_firstRingTick; // modulo 2^32
            span = elapsed > uint32_t(INT_MAX) ? INT_MAX : int(elapsed);
            outcome.measuredSpan = span;
        }
    }
    outcome.ringAwayMs = ringAwayInterval(span);
    return outcome;
}

bool RingTracker::partOfLastRing(uint32_t now) const
{
    return m_lastReportTick && now - *m_lastReportTick < BurstMs;
}

int RingTracker::ringAway()
{
    const int n = m_ringCounter;
    m_ringCounter = 0;
    resetTicks();
    m_lastReportTick.reset();
    return n;
}

void RingTracker::resetTicks()
{
    m_firstRingTick.reset();
    m_secondRingTick.reset();
}

int RingTracker::ringAwayInterval(int ringSpan)
{
    const double interval = std::round(double(ringSpan) * 1.1);
    if (interval < 1.0)
        return 1;
    return interval > double(INT_MAX) ? INT_MAX : int(interval);
}
