#pragma once

#include <cstdint>
#include <optional>

// Ring counting and the one-off measurement of the time between rings.
// Ticks are milliseconds of a 32-bit clock that wraps; every difference is
// taken modulo 2^32, so a wrap between two rings changes nothing.
class RingTracker
{
public:
    // Reports that belong to one ring come closer together than this: a
    // distinctive ring reported burst by burst, or a modem that sends both
    // "RING" and DLE "R".
    static constexpr uint32_t BurstMs = 1000;

    enum class Source : uint8_t { Dle, Text };

    struct Outcome
    {
        bool counted = false;            // false: the report was part of a ring already counted
        std::optional<int> measuredSpan; // the span, when this ring completed the measurement
        int ringAwayMs = 0;              // the ring-away timer's new interval
    };

    // One ring report at `now`. `ringSpan` is the stored span; 8233 means
    // none was measured yet. A report within BurstMs of the one before is
    // part of the same ring: it is not counted and the span is measured from
    // the first report of each ring.
    Outcome ring(Source source, uint32_t now, int ringSpan);
    // The ring-away: returns the count and starts again.
    int ringAway();
    // Forgets a measurement under way (after the modem was redefined).
    void resetTicks();

    int ringCounter() const { return m_ringCounter; }
    std::optional<uint32_t> firstRingTick() const { return m_firstRingTick; }
    std::optional<uint32_t> secondRingTick() const { return m_secondRingTick; }

    // ringSpan x 1.1, rounded, kept within what a timer accepts.
    static int ringAwayInterval(int ringSpan);

private:
    bool partOfLastRing(uint32_t now) const;

    int m_ringCounter = 0;
    std::optional<uint32_t> m_firstRingTick;
    std::optional<uint32_t> m_secondRingTick;
    std::optional<uint32_t> m_lastReportTick;
};
