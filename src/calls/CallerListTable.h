#pragma once

#include "calls/CallerLists.h"
#include "catalogue/Database.h"
#include "catalogue/Table.h"

#include <QString>
#include <vector>

// Lists.d in the data folder: the entries of both lists, in the order they
// were added. Every change is committed at once; errors raise TableError.
// Rows are read as untrusted: one that does not make an entry is skipped.
class CallerListTable
{
public:
    static inline const QString OpenErrorText = QStringLiteral("Can not open Lists.d");

    explicit CallerListTable(const QString& dataFolder);
    ~CallerListTable();
    CallerListTable(const CallerListTable&) = delete;
    CallerListTable& operator=(const CallerListTable&) = delete;

    // Opens the file, or creates it; a file that cannot be read raises
    // TableError and is left as it is.
    void open();
    std::vector<ListEntry> entries();
    // Rows the last entries() skipped.
    int skippedRows() const { return m_skipped; }
    // Stores the entry with a new id (returned); an entry for the same caller
    // on the same list is replaced, so a list never holds one caller twice.
    QString add(ListEntry entry);
    // The entry of the list with this id or this caller (as parseCaller reads
    // it); false when there is none.
    bool remove(CallerList list, const QString& idOrCaller);

private:
    bool locate(CallerList list, const QString& idOrCaller);

    Database m_db;
    Table m_table;
    int m_skipped = 0;
};
