#pragma once

#include "calls/CallerLists.h"

#include <QDialog>

class CallerListTable;
class QTableWidget;

// Options, Caller lists: both lists, each entry a row; Add asks for one
// entry, Remove takes the selected ones. Every change is stored at once.
class CallerListsDialog : public QDialog
{
    Q_OBJECT
public:
    CallerListsDialog(CallerListTable& table, QWidget* parent = nullptr);

    // Asks for an entry of `list` with the caller filled in; stored when accepted.
    static bool addEntry(CallerListTable& table, CallerList list, const QString& caller, QWidget* parent);

private:
    QWidget* listPage(CallerList list);
    void reload();
    void remove(CallerList list);

    CallerListTable& m_table;
    QTableWidget* m_tables[2] = {};
};
