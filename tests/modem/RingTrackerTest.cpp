#include "modem/ModemProfile.h"
#include "modem/RingTracker.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using Source = RingTracker::Source;

// Each ring reported twice 400 ms apart (a distinctive ring, or a modem
// that repeats itself): three rings, and the span is ring to ring.
TEST(RingTracker, DoubledReportsCountOnceAndTheSpanIsTheRingPeriod)
{
    RingTracker t;
    std::vector<RingTracker::Outcome> outcomes;
    for (uint32_t at : {0u, 400u, 4000u, 4400u, 8000u, 8400u})
        outcomes.push_back(t.ring(Source::Dle, at, UnmeasuredRingSpan));
    EXPECT_EQ(outcomes[0].ringAwayMs, 9056);
    EXPECT_FALSE(outcomes[1].counted);
    EXPECT_EQ(outcomes[2].measuredSpan, 4000);
    EXPECT_EQ(outcomes[2].ringAwayMs, 4400);
    EXPECT_FALSE(outcomes[3].counted);
    EXPECT_EQ(t.ringCounter(), 3);
    EXPECT_EQ(t.ringAway(), 3);
    EXPECT_EQ(t.ringCounter(), 0);
    EXPECT_FALSE(t.firstRingTick());
}

TEST(RingTracker, SpanIsRightAcrossAWrapOfTheClock)
{
    RingTracker t;
    const uint32_t nearEnd = 0xFFFFFFFFu - 1000;
    t.ring(Source::Dle, nearEnd, UnmeasuredRingSpan);
    EXPECT_EQ(t.firstRingTick(), nearEnd);
    EXPECT_EQ(t.ring(Source::Dle, nearEnd + 5000, UnmeasuredRingSpan).measuredSpan, 5000);

    RingTracker last; // the clock's last tick is a tick like any other
    last.ring(Source::Dle, 0xFFFFFFFFu, UnmeasuredRingSpan);
    EXPECT_EQ(last.ring(Source::Dle, 3999, UnmeasuredRingSpan).measuredSpan, 4000);
}

TEST(RingTracker, MeasuredSpanIsUsedAndNotMeasuredAgain)
{
    RingTracker t;
    for (uint32_t at : {0u, 4000u, 8000u}) {
        const auto o = t.ring(Source::Dle, at, 4000);
        EXPECT_FALSE(o.measuredSpan);
        EXPECT_EQ(o.ringAwayMs, 4400);
    }
    EXPECT_EQ(t.ringCounter(), 3);
}

TEST(RingTracker, OneRingReportedAsDleAndAsTextCountsOnce)
{
    RingTracker t;
    EXPECT_TRUE(t.ring(Source::Dle, 100, 4000).counted);
    EXPECT_FALSE(t.ring(Source::Text, 130, 4000).counted);
    EXPECT_TRUE(t.ring(Source::Text, 4100, 4000).counted);
    EXPECT_FALSE(t.ring(Source::Dle, 4120, 4000).counted);
    EXPECT_EQ(t.ringCounter(), 2);
}

TEST(RingTracker, TimerIntervalStaysUsableForAnyStoredSpan)
{
    EXPECT_EQ(RingTracker::ringAwayInterval(0), 1);
    EXPECT_EQ(RingTracker::ringAwayInterval(-5), 1);
    EXPECT_EQ(RingTracker::ringAwayInterval(INT_MAX), INT_MAX);
}

} // namespace
