#include "modem/DleCodes.h"
#include "modem/Shielding.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (const int v : values)
        b.append(char(v));
    return b;
}

// The removal as first described: repeatedly delete the first occurrence of
// the highest-priority pair present. Slow, but obviously right.
QByteArray stripOneByOne(QByteArray s)
{
    for (;;) {
        bool removed = false;
        for (const uint8_t code : ShieldedCodes) {
            const qsizetype at = s.indexOf(bytes({0x10, code}));
            if (at >= 0) {
                s.remove(at, 2);
                removed = true;
                break;
            }
        }
        if (!removed)
            return s;
    }
}

TEST(Shielding, RemovesPairsWholeAndLeavesUnknownCodes)
{
    EXPECT_EQ(StripShielding(bytes({0x41, 0x10, 0x10, 0x42})), bytes({0x41, 0x42}));
    EXPECT_EQ(StripShielding(bytes({0x10, 0x10, 0x10, 0x52})), QByteArray());
    EXPECT_EQ(StripShielding(bytes({0x10, 0x80})), bytes({0x10, 0x80}));
    EXPECT_EQ(StripShielding(bytes({0x01, 0x10, 'b', 0x02, 0x10})), bytes({0x01, 0x02, 0x10}));
    EXPECT_EQ(StripShielding(QByteArray()), QByteArray());
}

// Mostly DLEs and codes, so pairs overlap and follow each other closely.
TEST(Shielding, OnePassGivesWhatPairByPairRemovalGives)
{
    std::mt19937 random(7);
    const int alphabet[] = {0x10, 0x10, 0x10, 'R', 'X', 0x03, 0x80, 0x41, 'b', 0x1A};
    for (int round = 0; round < 20000; ++round) {
        QByteArray s;
        const int length = int(random() % 12);
        for (int i = 0; i < length; ++i)
            s.append(char(alphabet[random() % std::size(alphabet)]));
        ASSERT_EQ(StripShielding(s), stripOneByOne(s)) << s.toHex().toStdString();
    }
}

TEST(DleScan, ShieldedDataDleStartsNoPairAndOpenDleIsFound)
{
    std::string codes;
    forEachDlePair(bytes({0x10, 0x10, 'R', 0x10, '5', 'x', 0x10}), [&](uint8_t c, qsizetype) { codes += char(c); });
    EXPECT_EQ(codes, std::string("\x10" "5"));

    EXPECT_TRUE(endsInOpenDle(bytes({0x41, 0x10})));
    EXPECT_FALSE(endsInOpenDle(bytes({0x41, 0x10, 0x10})));
    EXPECT_TRUE(endsInOpenDle(bytes({0x10, 0x10, 0x10})));
    EXPECT_FALSE(endsInOpenDle(QByteArray()));
}

TEST(DleScan, EveryShieldedCodeIsKnownAndEventsHaveNames)
{
    EXPECT_EQ(dleAction('R'), DleAction::Ring);
    EXPECT_EQ(dleAction('#'), DleAction::Digit);
    EXPECT_EQ(dleAction('b'), DleAction::Busy);
    EXPECT_EQ(dleAction(0x80), DleAction::None);
    EXPECT_FALSE(isShieldedCode(0x80));
    for (const uint8_t code : ShieldedCodes) {
        EXPECT_TRUE(isShieldedCode(code));
        const DleAction action = dleAction(code);
        EXPECT_EQ(std::string(dleActionName(action)).empty(), action == DleAction::None) << int(code);
    }
}

} // namespace
