#include "modem/CapabilityReplies.h"

#include <gtest/gtest.h>

namespace {

QList<int> offeredSources(const LineSourceReply& reply)
{
    QList<int> offered;
    for (int n = 0; n <= LineSourceReply::MaxSource; ++n)
        if (reply.offered[size_t(n)])
            offered.append(n);
    return offered;
}

TEST(LineSourceReply, SourcesAreTheNumbersBeforeTheFirstComma)
{
    const LineSourceReply r = parseLineSources(QStringLiteral(
        "\r\n0,\"\",00000000,00000000,00000000\r\n1,\"T\",00000000,00000000,00000000\r\n"
        "2,\"L\",00000000,00000000,00000000\r\n5,\"ST\",00000000,00000000,00000000\r\n\r\nOK\r\n"));
    EXPECT_EQ(offeredSources(r), QList<int>({0, 1, 2, 5}));
    EXPECT_TRUE(r.unreadable.isEmpty());
}

TEST(LineSourceReply, PrefixesListsAndJunk)
{
    LineSourceReply r = parseLineSources(QStringLiteral("+VLS: 0,\"\",0,0,0\r\n+vls: 3,\"LT\",0,0,0\r\nOK\r\n"));
    EXPECT_EQ(offeredSources(r), QList<int>({0, 3}));

    r = parseLineSources(QStringLiteral("+VLS: (0-2,6)\r\n\r\nOK\r\n"));
    EXPECT_EQ(offeredSources(r), QList<int>({0, 1, 2, 6}));

    // Numbers beyond the 21 sources are not errors; texts that are no
    // number are reported, and the rest still counts.
    r = parseLineSources(QStringLiteral("1,\"T\",0\r\n44,\"X\",0\r\nabc,\"Y\",0\r\n(7,x-2)\r\n"));
    EXPECT_EQ(offeredSources(r), QList<int>({1, 7}));
    EXPECT_EQ(r.unreadable, QStringList({QStringLiteral("abc"), QStringLiteral("x-2")}));

    r = parseLineSources(QStringLiteral("\r\nERROR\r\n"));
    EXPECT_TRUE(offeredSources(r).isEmpty());
}

TEST(GainReply, RangeAfterTheFirstCommaAndTheAutomaticValue)
{
    QList<GainLine> lines = parseGainReply(QStringLiteral("\r\n(0,128-255)\r\n\r\nOK\r\n"), QStringLiteral("+VGR:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].admitsZero);
    EXPECT_TRUE(lines[0].rangeUsable());
    EXPECT_EQ(lines[0].low, 128);
    EXPECT_EQ(lines[0].high, 255);

    lines = parseGainReply(QStringLiteral("+VGT: (0-255)\r\nOK\r\n"), QStringLiteral("+VGT:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].admitsZero);
    EXPECT_EQ(lines[0].low, 0);
    EXPECT_EQ(lines[0].high, 255);

    lines = parseGainReply(QStringLiteral("+vgr: (122-134)\r\n\r\nOK\r\n"), QStringLiteral("+VGR:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(lines[0].admitsZero);
    EXPECT_EQ(lines[0].low, 122);
    EXPECT_EQ(lines[0].high, 134);

    // A 0 inside another number is not the automatic setting.
    lines = parseGainReply(QStringLiteral("(100-200)\r\n"), QStringLiteral("+VGR:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(lines[0].admitsZero);
}

TEST(GainReply, LinesWithoutARangeOrWithABadOne)
{
    QList<GainLine> lines = parseGainReply(QStringLiteral("(128)\r\nOK\r\n"), QStringLiteral("+VGS:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(lines[0].hasRange);

    lines = parseGainReply(QStringLiteral("(200-100)\r\n"), QStringLiteral("+VGM:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].hasRange);
    EXPECT_FALSE(lines[0].rangeUsable());

    // Ends that are no number read as 1 and 255.
    lines = parseGainReply(QStringLiteral("(x-y9)\r\n"), QStringLiteral("+VGM:"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].low, 1);
    EXPECT_EQ(lines[0].high, 255);

    EXPECT_TRUE(parseGainReply(QStringLiteral("\r\nOK\r\n"), QStringLiteral("+VGR:")).isEmpty());
}

} // namespace
