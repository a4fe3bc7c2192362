#include "app/CallerListsDialog.h"
#include "calls/CallerListTable.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Fills the entry form that `add` opens and presses OK: a refused caller
// keeps the form open with the reason, a good one stores the entry.
void fillNextForm(const QString& caller, int action, QString* refusal)
{
    QTimer::singleShot(0, [=] {
        auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->findChildren<QLineEdit*>().value(0)->setText(caller);
        if (auto* combo = form->findChild<QComboBox*>())
            combo->setCurrentIndex(action);
        form->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        if (form->isVisible()) {
            for (QLabel* label : form->findChildren<QLabel*>())
                if (!label->text().isEmpty() && !label->text().endsWith(QLatin1Char(':')))
                    *refusal = label->text();
            form->reject();
        }
    });
}

} // namespace

TEST(CallerListsDialog, EntriesAreCheckedStoredAndRemoved)
{
    QTemporaryDir dir;
    CallerListTable table(dir.path());
    QString refusal;
    fillNextForm(QStringLiteral("09a0*"), 0, &refusal);
    EXPECT_FALSE(CallerListsDialog::addEntry(table, CallerList::Block, QString(), nullptr));
    EXPECT_FALSE(refusal.isEmpty()) << "the reason is shown";
    fillNextForm(QStringLiteral("0900*"), 2, &refusal);
    EXPECT_TRUE(CallerListsDialog::addEntry(table, CallerList::Block, QString(), nullptr));
    fillNextForm(QStringLiteral("5551234"), 0, &refusal);
    EXPECT_TRUE(CallerListsDialog::addEntry(table, CallerList::Allow, QString(), nullptr));
    auto entries = table.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].action, BlockAction::Tones);

    CallerListsDialog dialog(table);
    auto* blocked = dialog.findChild<QTableWidget*>(QStringLiteral("blockList"));
    auto* allowed = dialog.findChild<QTableWidget*>(QStringLiteral("allowList"));
    ASSERT_TRUE(blocked && allowed);
    ASSERT_EQ(blocked->rowCount(), 1);
    EXPECT_EQ(blocked->item(0, 0)->text(), QStringLiteral("0900*"));
    EXPECT_EQ(allowed->item(0, 0)->text(), QStringLiteral("5551234"));
    blocked->selectRow(0);
    dialog.findChild<QPushButton*>(QStringLiteral("blockRemove"))->click();
    EXPECT_EQ(blocked->rowCount(), 0);
    ASSERT_EQ(table.entries().size(), 1u);
    EXPECT_EQ(table.entries()[0].list, CallerList::Allow);
}
