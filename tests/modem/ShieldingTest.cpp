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

TEST(Shielding, DataDleIsOneByteEventsLeaveAndUnknownCodesStay)
{
    EXPECT_EQ(StripShielding(bytes({0x41, 0x10, 0x10, 0x42})), bytes({0x41, 0x10, 0x42}));
    EXPECT_EQ(StripShielding(bytes({0x10, 0x10, 0x10, 0x52})), bytes({0x10}));
    EXPECT_EQ(StripShielding(bytes({0x10, 0x80})), bytes({0x10, 0x80}));
    EXPECT_EQ(StripShielding(bytes({0x01, 0x10, 'b', 0x02, 0x10})), bytes({0x01, 0x02, 0x10}));
    EXPECT_EQ(StripShielding(QByteArray()), QByteArray());
    EXPECT_EQ(ShieldVoiceData(bytes({0x10, 0x41, 0x10, 0x10})), bytes({0x10, 0x10, 0x41, 0x10, 0x10, 0x10, 0x10}));
}

// Whatever bytes go to the line come back unchanged from a modem that
// shields them the same way.
TEST(Shielding, ShieldedThenStrippedIsUnchanged)
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray s;
        const int length = int(random() % 64);
        for (int i = 0; i < length; ++i)
            s.append(char(random() % 3 == 0 ? 0x10 : random() % 256));
        ASSERT_EQ(StripShielding(ShieldVoiceData(s)), s) << s.toHex().toStdString();
    }
}

TEST(DleScan, OpenDleIsFound)
{
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
