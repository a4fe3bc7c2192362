#include "modem/VsmParser.h"

#include <gtest/gtest.h>

namespace {

struct Expected
{
    const char* line;
    const char* desc;
    const char* cml;
    const char* bps;
    const char* vsr;
    const char* vsm;
};

void expectLine(const Expected& e)
{
    CompressionRecord r;
    ASSERT_TRUE(ParseVsmLine(QString::fromLatin1(e.line), r)) << e.line;
    EXPECT_EQ(r.desc, QLatin1String(e.desc)) << e.line;
    EXPECT_EQ(r.cml, QLatin1String(e.cml)) << e.line;
    EXPECT_EQ(r.bps, QLatin1String(e.bps)) << e.line;
    EXPECT_EQ(r.vsr, QLatin1String(e.vsr)) << e.line;
    EXPECT_EQ(BuildVsmCommand(r), QLatin1String(e.vsm)) << e.line;
}

TEST(VsmLine, SevenFieldLineFillsEveryField)
{
    CompressionRecord r;
    ASSERT_TRUE(ParseVsmLine(QStringLiteral("+VSM: 128,\"8-BIT LINEAR\",8,0,(7200,8000,11025),(0),(0)"), r));
    EXPECT_EQ(r.desc, QStringLiteral("UNSIGNED PCM"));
    EXPECT_EQ(r.cml, QStringLiteral("128"));
    EXPECT_EQ(r.cmid, QStringLiteral("\"8-BIT LINEAR\""));
    EXPECT_EQ(r.bps, QStringLiteral("8"));
    EXPECT_EQ(r.tm, QStringLiteral("0"));
    EXPECT_EQ(r.vsr, QStringLiteral("8000"));
    EXPECT_EQ(r.sds, QStringLiteral("0"));
    EXPECT_EQ(r.sel, QStringLiteral("0"));
    EXPECT_EQ(BuildVsmCommand(r), QStringLiteral("at+vsm=128,8000,0,0"));
}

// Every shape the modems in the field write.
TEST(VsmLine, ReplyShapesOfRealModems)
{
    const Expected cases[] = {
        // Rates in parentheses, without prefix (USB modems of one family).
        {"128,\"8-BIT LINEAR\",(7200,8000,11025)", "UNSIGNED PCM", "128", "8", "8000", "at+vsm=128,8000"},
        {"129,\"16-BIT LINEAR\",(7200,8000,11025)", "UNSIGNED PCM", "129", "16", "8000", "at+vsm=129,8000"},
        {"130,\"8-BIT ALAW\",(8000)", "ALAW", "130", "8", "8000", "at+vsm=130,8000"},
        {"131,\"8-BIT ULAW\",(8000)", "ULAW", "131", "8", "8000", "at+vsm=131,8000"},
        {"132,\"IMA ADPCM\",(7200,8000,11025)", "IMA ADPCM", "132", "4", "8000", "at+vsm=132,8000"},
        // Lower case with prefix, bare rate, the odd "0,00" ending.
        {"+vsm: 1,\"unsigned pcm\",8,0,8000,0,0", "UNSIGNED PCM", "1", "8", "8000", "at+vsm=1,8000,0,0"},
        {"+vsm: 0,\"signed pcm\",8,0,8000,0,0", "SIGNED PCM", "0", "8", "8000", "at+vsm=0,8000,0,0"},
        {"+vsm: 129,\"ima adpcm\",4,0,8000,0,00", "IMA ADPCM", "129", "4", "8000", "at+vsm=129,8000,0,00"},
        {"+vsm: 4,\"ulaw\",8,0,8000,0,0", "ULAW", "4", "8", "8000", "at+vsm=4,8000,0,0"},
        // Semicolons with a rate list that holds commas; the command still
        // separates its parameters with commas.
        {"128;\"8-BIT LINEAR\";8;0;(7200,8000)", "UNSIGNED PCM", "128", "8", "8000", "at+vsm=128,8000"},
        {"4;\"8-BIT ULAW\";8;0;(7200,8000)", "ULAW", "4", "8", "8000", "at+vsm=4,8000"},
        {"1;\"2 Bit ADPCM\";2;0;(7200)", "ADPCM", "1", "2", "7200", "at+vsm=1,7200"},
        // No rate at all: the standard rate is asked for.
        {"128,\"8-BIT LINEAR\"", "UNSIGNED PCM", "128", "8", "8000", "at+vsm=128,8000"},
        {"+VSM: 131,\"ULAW\",8,0", "ULAW", "131", "8", "8000", "at+vsm=131,8000"},
        // Blanks around everything.
        {"  +VSM:  130 , \"ALAW\" , 8 , 0 , ( 8000 ) , (0) , (0)  ", "ALAW", "130", "8", "8000", "at+vsm=130,8000,0,0"},
        // A separator inside the description does not split it.
        {"5,\"LINEAR, 16-BIT\",16,0,(8000)", "UNSIGNED PCM", "5", "16", "8000", "at+vsm=5,8000"},
    };
    for (const Expected& e : cases)
        expectLine(e);
}

TEST(VsmLine, DescriptionsAreNormalisedAndMissingWidthsFilledIn)
{
    const struct
    {
        const char* cmid;
        const char* desc;
        const char* bps;
    } cases[] = {
        {"\"SIGNED LINEAR\"", "SIGNED PCM", "8"},
        {"16-BIT SIGNED LINEAR", "UNSIGNED PCM", "16"}, // contains LINEAR: counted as unsigned
        {"\"16BIT PCM UNSIGNED PCM\"", "UNSIGNED PCM", "16"},
        {"\"SIGNED PCM\"", "SIGNED PCM", "8"},
        {"\"M-LAW\"", "ULAW", "8"},
        {"\"U-LAW\"", "ULAW", "8"},
        {"\"G.711U\"", "ULAW", "8"},
        {"\"A-LAW\"", "ALAW", "8"},
        {"\"G.711A\"", "ALAW", "8"},
        {"\"ADPCM\"", "ADPCM", "4"},
        {"\"2-BIT ADPCM\"", "ADPCM", "2"},
        {"\"2 Bit ADPCM\"", "ADPCM", "2"},
        {"\"3-BIT ADPCM\"", "ADPCM", "4"},
        {"\"4 Bit ADPCM\"", "ADPCM", "4"},
        {"\"G.721\"", "ADPCM", "4"},
        {"\"IMA ADPCM\"", "IMA ADPCM", "4"},
    };
    for (const auto& c : cases) {
        CompressionRecord r;
        for (const char* bps : {"", "0"}) {
            const QString line = QStringLiteral("7,%1,%2,0,(8000)").arg(QLatin1String(c.cmid), QLatin1String(bps));
            ASSERT_TRUE(ParseVsmLine(line, r)) << qPrintable(line);
            EXPECT_EQ(r.desc, QLatin1String(c.desc)) << qPrintable(line);
            EXPECT_EQ(r.bps, QLatin1String(c.bps)) << qPrintable(line);
        }
    }
    // A width the modem states is kept.
    CompressionRecord r;
    ASSERT_TRUE(ParseVsmLine(QStringLiteral("7,\"8-BIT LINEAR\",16,0,(8000)"), r));
    EXPECT_EQ(r.bps, QStringLiteral("16"));
}

TEST(VsmLine, RatePreferenceDependsOnTheWidth)
{
    CompressionRecord r;
    ASSERT_TRUE(ParseVsmLine(QStringLiteral("1,\"LINEAR\",(7200,8000)"), r));
    EXPECT_EQ(r.vsr, QStringLiteral("8000"));
    ASSERT_TRUE(ParseVsmLine(QStringLiteral("1,\"LINEAR\",16,0,(7200,8000)"), r));
    EXPECT_EQ(r.vsr, QStringLiteral("7200"));
    // An odd width gets no rate, and its command none either.
    ASSERT_TRUE(ParseVsmLine(QStringLiteral("9,\"ADPCM\",3,0,(8000)"), r));
    EXPECT_EQ(r.vsr, QString());
    EXPECT_EQ(BuildVsmCommand(r), QStringLiteral("at+vsm=9"));

    EXPECT_EQ(PickRate(QStringLiteral("8"), QStringLiteral("4800,7200,9200,11025")), QStringLiteral("7200"));
    EXPECT_EQ(PickRate(QStringLiteral("4"), QStringLiteral("11025,9200")), QStringLiteral("9200"));
    EXPECT_EQ(PickRate(QStringLiteral("12"), QStringLiteral("11025,9200,8000")), QStringLiteral("8000"));
    EXPECT_EQ(PickRate(QStringLiteral("16"), QStringLiteral("11025,4800")), QStringLiteral("11025"));
    EXPECT_EQ(PickRate(QString(), QStringLiteral("11025,9200")), QStringLiteral("11025"));
    EXPECT_EQ(PickRate(QStringLiteral("8"), QStringLiteral("16000")), QString());
    EXPECT_EQ(PickRate(QStringLiteral("24"), QStringLiteral("8000")), QString());
}

TEST(VsmLine, LinesThatNameNoCompressionAreRejectedAndLeaveTheRecordEmpty)
{
    CompressionRecord r;
    for (const char* line : {"OK", "AT+VSM=?", "", "+VSM:", "132,\"CELP\",(8000)", "1,2,3,4,5,6", "128,\"8-BIT LINEAR\",8,0,8000,0",
                             "(0-255)", "\"UNSIGNED PCM\"", ",,,", "128 \"LINEAR\" 8000"}) {
        r.desc = QStringLiteral("stale");
        EXPECT_FALSE(ParseVsmLine(QLatin1String(line), r)) << line;
        EXPECT_EQ(r, CompressionRecord()) << line;
    }
}

TEST(VsmLine, LongFieldsAreCutToThirtyCharacters)
{
    CompressionRecord r;
    const QString cmid = QStringLiteral("\"UNSIGNED PCM WITH A VERY LONG DESCRIPTION TEXT\"");
    ASSERT_TRUE(ParseVsmLine(QStringLiteral("128,%1,8,0,(4800,7200,9200,11025,16000,22050,8000)").arg(cmid), r));
    EXPECT_EQ(r.cmid, cmid.left(30));
    EXPECT_EQ(r.vsr, QStringLiteral("8000")); // found in the whole list, not in its first 30 characters
}

} // namespace
