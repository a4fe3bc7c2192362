// Which callers the lists hold, and Lists.d as another program may leave it.
#include "calls/CallerListTable.h"
#include "calls/CallerLists.h"
#include "catalogue/CatalogueSchema.h"
#include "catalogue/Database.h"
#include "catalogue/Table.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ListEntry entry(const char* caller)
{
    ListEntry e;
    EXPECT_EQ(callerlists::parseCaller(QLatin1String(caller), e), QString()) << caller;
    return e;
}

} // namespace

TEST(CallerListsTest, EntriesMatchTheCallersTheyName)
{
    struct Case
    {
        const char* entry;
        const char* number;
        const char* name;
        bool seen;
        bool match;
    };
    const Case cases[] = {
        {"5551234", "5551234", "", true, true},
        {"5551234", "55512345", "", true, false}, // exact, not a prefix
        {"0900*", "0900123456", "", true, true},
        {"0900*", "10900123", "", true, false},
        {"+1-800*", "18005550100", "", true, true},
        {"+1-800*", "+1 800 555 0100", "", true, true},
        {"555?234", "5559234", "", true, true},
        {"555?234", "555234", "", true, false},
        {"5551234", "P", "", true, false},
        {"name:*sales*", "5550000", "ACME SALES DEPT", true, true},
        {"name:SMITH*", "5550000", "smith john", true, true},
        {"name:SMITH*", "5550000", "JOHN SMITH", true, false},
        {"withheld", "P", "", true, true},
        {"withheld", "PRIVATE", "", true, true},
        {"withheld", "", "P", true, true},
        {"withheld", "O", "", true, false},
        {"unavailable", "O", "", true, true},
        {"unavailable", "5551234", "", true, false},
        {"none", "", "", false, true},
        {"none", "", "", true, true},
        {"none", "P", "", true, false},
        {"withheld", "", "", false, false},
    };
    for (const Case& c : cases) {
        const CallerIdentity caller{QLatin1String(c.number), QLatin1String(c.name), c.seen};
        EXPECT_EQ(callerlists::matches(entry(c.entry), caller), c.match) << c.entry << " / " << c.number << " "
                                                                          << c.name;
    }
}

TEST(CallerListsTest, WhatCannotBeAnEntryIsRefused)
{
    for (const char* text : {"", "*", "+-", "12a4", "name:", "name:*", "555\x1b[2J", "0900*;rm"}) {
        ListEntry e;
        EXPECT_FALSE(callerlists::parseCaller(QLatin1String(text), e).isEmpty()) << text;
    }
    ListEntry e;
    EXPECT_FALSE(callerlists::parseCaller(QString(50, QLatin1Char('5')), e).isEmpty()) << "too long";
}

TEST(CallerListsTest, AllowWinsAndCallerTextIsMadePrintable)
{
    std::vector<ListEntry> entries{entry("0900*"), entry("09001*")};
    entries[1].list = CallerList::Allow;
    const CallerIdentity caller{QStringLiteral("0900123"), QString(), true};
    ASSERT_NE(callerlists::firstMatch(entries, CallerList::Allow, caller), nullptr);
    EXPECT_EQ(callerlists::printable(QStringLiteral("SMITH\x1b]0;x\x07\n")), QStringLiteral("SMITH?]0;x??"));
    EXPECT_EQ(callerlists::printable(QString(100, QLatin1Char('A')), 15).size(), 15);
}

TEST(CallerListTableTest, EntriesSurviveTheFileAndForeignRowsAreSkipped)
{
    QTemporaryDir dir;
    {
        CallerListTable table(dir.path());
        ListEntry e = entry("0900*");
        e.action = BlockAction::Tones;
        e.note = QStringLiteral("premium");
        table.add(e);
        table.add(entry("withheld"));
        ListEntry allowed = entry("5551234");
        allowed.list = CallerList::Allow;
        table.add(allowed);
        e.note = QStringLiteral("replaced");
        table.add(e); // the same caller again: one entry
        EXPECT_TRUE(table.remove(CallerList::Block, QStringLiteral("withheld")));
        EXPECT_FALSE(table.remove(CallerList::Block, QStringLiteral("5551234"))) << "on the other list";
    }
    {
        // A row another program wrote, with values that are not ours.
        Database db(dir.path());
        Table t(db, schema::CallerListsTable);
        t.open();
        t.append();
        t.field(QStringLiteral("EntryId")).setText(QStringLiteral("X1"));
        t.field(QStringLiteral("List")).setText(QStringLiteral("block"));
        t.field(QStringLiteral("Kind")).setText(QStringLiteral("number"));
        t.field(QStringLiteral("Pattern")).setText(QStringLiteral("*"));
        t.field(QStringLiteral("Action")).setText(QStringLiteral("hangup"));
        t.post();
        t.commit();
    }
    CallerListTable table(dir.path());
    const auto entries = table.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(table.skippedRows(), 1) << "a pattern that would block everyone";
    EXPECT_EQ(entries[0].pattern, QStringLiteral("0900*"));
    EXPECT_EQ(entries[0].action, BlockAction::Tones);
    EXPECT_EQ(entries[0].note, QStringLiteral("replaced"));
    EXPECT_TRUE(entries[0].added.isValid());
    EXPECT_EQ(entries[1].list, CallerList::Allow);
}
