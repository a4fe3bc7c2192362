#include "app/CallerListsDialog.h"

#include "app/PlainMessage.h"
#include "calls/CallerListTable.h"
#include "catalogue/TableError.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QStringList Columns = {QStringLiteral("Caller"), QStringLiteral("Action"), QStringLiteral("Rings"),
                             QStringLiteral("Note"), QStringLiteral("Added")};

// The fields of one entry, checked before the dialog may close.
class EntryForm : public QDialog
{
public:
    EntryForm(CallerList list, const QString& caller, QWidget* parent) : QDialog(parent), m_list(list)
    {
        setWindowTitle(list == CallerList::Block ? QStringLiteral("Block a caller")
                                                 : QStringLiteral("Always put a caller through"));
        auto* form = new QFormLayout;
        m_caller->setText(caller);
        m_caller->setPlaceholderText(QStringLiteral("5551234, 0900*, name:*SALES*, withheld, unavailable, none"));
        form->addRow(QStringLiteral("Caller:"), m_caller);
        if (list == CallerList::Block) {
            for (BlockAction a : {BlockAction::Default, BlockAction::HangUp, BlockAction::Tones, BlockAction::Greeting,
                                  BlockAction::Rings})
                m_action->addItem(callerlists::actionText(a), int(a));
            m_rings->setRange(0, callerlists::MaxRings);
            m_rings->setSpecialValueText(QStringLiteral("as set"));
            m_greeting->setMaxLength(callerlists::MaxGreetingLength);
            form->addRow(QStringLiteral("Action:"), m_action);
            form->addRow(QStringLiteral("Rings:"), m_rings);
            form->addRow(QStringLiteral("Greeting:"), m_greeting);
        }
        m_note->setMaxLength(callerlists::MaxNoteLength);
        form->addRow(QStringLiteral("Note:"), m_note);
        m_problem->setTextFormat(Qt::PlainText);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        connect(buttons, &QDialogButtonBox::accepted, this, &EntryForm::check);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(m_problem);
        layout->addWidget(buttons);
    }
    ListEntry entry;

private:
    void check()
    {
        entry = ListEntry();
        entry.list = m_list;
        const QString problem = callerlists::parseCaller(m_caller->text(), entry);
        if (!problem.isEmpty()) {
            m_problem->setText(problem);
            return;
        }
        entry.action = BlockAction(m_action->currentData().toInt());
        entry.rings = m_rings->value();
        entry.greeting = m_greeting->text();
        entry.note = m_note->text();
        accept();
    }

    CallerList m_list;
    QLineEdit* m_caller = new QLineEdit(this);
    QComboBox* m_action = new QComboBox(this);
    QSpinBox* m_rings = new QSpinBox(this);
    QLineEdit* m_greeting = new QLineEdit(this);
    QLineEdit* m_note = new QLineEdit(this);
    QLabel* m_problem = new QLabel(this);
};

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(callerlists::printable(text, 500));
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

CallerListsDialog::CallerListsDialog(CallerListTable& table, QWidget* parent) : QDialog(parent), m_table(table)
{
    setWindowTitle(QStringLiteral("Caller lists"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(listPage(CallerList::Block), QStringLiteral("Blocked"));
    tabs->addTab(listPage(CallerList::Allow), QStringLiteral("Always put through"));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(close);
    resize(640, 360);
    reload();
}

QWidget* CallerListsDialog::listPage(CallerList list)
{
    auto* page = new QWidget(this);
    auto* view = new QTableWidget(0, int(Columns.size()), page);
    view->setHorizontalHeaderLabels(Columns);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setObjectName(callerlists::listName(list) + QStringLiteral("List"));
    m_tables[int(list)] = view;
    auto* add = new QPushButton(QIcon::fromTheme(QStringLiteral("list-add")), QStringLiteral("Add..."), page);
    auto* remove = new QPushButton(QIcon::fromTheme(QStringLiteral("list-remove")), QStringLiteral("Remove"), page);
    remove->setObjectName(callerlists::listName(list) + QStringLiteral("Remove"));
    connect(add, &QPushButton::clicked, this, [this, list] {
        if (addEntry(m_table, list, QString(), this))
            reload();
    });
    connect(remove, &QPushButton::clicked, this, [this, list] { this->remove(list); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(view);
    layout->addLayout(buttons);
    return page;
}

void CallerListsDialog::reload()
{
    std::vector<ListEntry> entries;
    try {
        entries = m_table.entries();
    } catch (const TableError& e) {
        showPlainMessage(this, QStringLiteral("Caller lists"), e.message());
    }
    for (QTableWidget* view : m_tables)
        view->setRowCount(0);
    for (const ListEntry& e : entries) {
        QTableWidget* view = m_tables[int(e.list)];
        const int row = view->rowCount();
        view->insertRow(row);
        view->setItem(row, 0, cell(callerlists::callerText(e)));
        view->item(row, 0)->setData(Qt::UserRole, e.id);
        view->setItem(row, 1, cell(e.list == CallerList::Block ? callerlists::actionText(e.action) : QString()));
        view->setItem(row, 2, cell(e.rings > 0 ? QString::number(e.rings) : QString()));
        view->setItem(row, 3, cell(e.note));
        view->setItem(row, 4, cell(e.added.toString(QStringLiteral("yyyy-MM-dd hh:mm"))));
    }
}

void CallerListsDialog::remove(CallerList list)
{
    QTableWidget* view = m_tables[int(list)];
    QStringList ids;
    for (const QModelIndex& index : view->selectionModel()->selectedRows())
        ids << view->item(index.row(), 0)->data(Qt::UserRole).toString();
    try {
        for (const QString& id : ids)
            m_table.remove(list, id);
    } catch (const TableError& e) {
        showPlainMessage(this, QStringLiteral("Caller lists"), e.message());
    }
    reload();
}

bool CallerListsDialog::addEntry(CallerListTable& table, CallerList list, const QString& caller, QWidget* parent)
{
    EntryForm form(list, caller, parent);
    if (form.exec() != QDialog::Accepted)
        return false;
    try {
        table.add(form.entry);
    } catch (const TableError& e) {
        showPlainMessage(parent, QStringLiteral("Caller lists"), e.message());
        return false;
    }
    return true;
}
