#include "modem/CallerId.h"
#include "modem/ModemLines.h"

#include <gtest/gtest.h>

namespace {

QStringList lines(std::initializer_list<const char*> texts)
{
    QStringList l;
    for (const char* t : texts)
        l.append(QString::fromLatin1(t));
    return l;
}

TEST(CallerIdParse, FramedAndPlainFormsGiveTrimmedValues)
{
    const CallerIdValues v = parseCallerIdLines(
        lines({"DATE=1015", "TIME = 1310", "NMBR =  5551234 ", "NAME=SMITH JOHN", "junk before"}));
    EXPECT_EQ(v.date, "1015");
    EXPECT_EQ(v.time, "1310");
    EXPECT_EQ(v.number, "5551234");
    EXPECT_EQ(v.name, "SMITH JOHN");
    EXPECT_TRUE(v.message.isEmpty());
}

TEST(CallerIdParse, KeyDecidesTheTagAndValueKeepsLaterEquals)
{
    const CallerIdValues v = parseCallerIdLines(
        lines({"NAME = TIMES DATE NMBR", "DDN_NMBR=5550000", "MESG=a=b", "NMBR=P", "DRON=5", "DROF = 10"}));
    EXPECT_EQ(v.name, "TIMES DATE NMBR");
    EXPECT_TRUE(v.time.isEmpty());
    EXPECT_TRUE(v.date.isEmpty());
    EXPECT_EQ(v.number, "P"); // a later line replaces; withheld stays as sent
    EXPECT_EQ(v.message, "a=b");
    EXPECT_EQ(v.dron, "5");
    EXPECT_EQ(v.drof, "10");
}

TEST(CallerIdParse, LineWithoutEqualsIsTheValueOfItsTags)
{
    EXPECT_EQ(parseCallerIdLines(lines({"CPON 300"})).cpon, "CPON 300");
}

TEST(CallerIdParse, PacketLinesEndAtCrLfOrBoth)
{
    EXPECT_EQ(splitPacketLines("A\r\nB\rC\nD"), lines({"A", "B", "C", "D"}));
    EXPECT_EQ(splitPacketLines("\r\n\r\nA\r\n"), lines({"A"}));
}

TEST(CallerIdParse, TextLinesAreRecognisedByTheirKey)
{
    for (const char* yes : {"NMBR = 555", "DATE=1203", "  DDN_NMBR=1", "NAME =X", "DRON=3"})
        EXPECT_TRUE(isCallerIdTextLine(QString::fromLatin1(yes))) << yes;
    for (const char* no : {"RING", "OK", "NMBR", "FIRSTNAME=X", "+VCID: 1"})
        EXPECT_FALSE(isCallerIdTextLine(QString::fromLatin1(no))) << no;
}

TEST(ModemLines, LinesAcrossReadsOverlongOnesDroppedAndStopAfterALine)
{
    ModemLineAssembler assembler;
    QStringList got;
    const auto collect = [&](QByteArrayView line, qsizetype) {
        got.append(QString::fromLatin1(line));
        return false;
    };
    assembler.feed("NMBR = 5\r", collect);
    assembler.feed("\nNAME", collect);
    assembler.feed(QByteArray(400, 'x'), collect);
    assembler.feed("\r\nTIME=1\r\n", collect);
    EXPECT_EQ(got, lines({"NMBR = 5", "TIME=1"}));

    const QByteArray text("\r\nCONNECT\r\nvoice");
    const qsizetype taken = assembler.feed(text, [](QByteArrayView line, qsizetype) { return line == "CONNECT"; });
    EXPECT_EQ(text.sliced(taken), "voice");
}

} // namespace
