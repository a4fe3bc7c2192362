#include "SearchIndex.h"

#include "TableError.h"

namespace searchindex {

QString nameFor(const QString& table)
{
    return table + QStringLiteral("_search");
}

bool exists(Database& db, const Database::Attachment& table)
{
    sqlite::Statement find(db.connection(), QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type = 'table' AND name = ?")
                                                .arg(sqlite::quoted(table.schema)));
    find.bind(1, nameFor(table.table));
    return find.step();
}

bool ensure(Database& db, const Database::Attachment& table)
{
    try {
        if (exists(db, table))
            return true;
        const QString schema = sqlite::quoted(table.schema);
        const QString index = sqlite::quoted(nameFor(table.table));
        const QString rows = sqlite::quoted(table.table);
        const QString trigger = schema + QLatin1Char('.') + sqlite::quoted(nameFor(table.table) + QStringLiteral("_%1"));
        // Inside a trigger the names are those of the trigger's own file.
        const QString insert = QStringLiteral("INSERT INTO %1(rowid, callerID, Comment) VALUES (new.rowid, new.callerID, new.Comment);").arg(index);
        const QString remove = QStringLiteral("INSERT INTO %1(%1, rowid, callerID, Comment) VALUES ('delete', old.rowid, old.callerID, old.Comment);").arg(index);
        db.transaction([&] {
            db.connection().exec(QStringLiteral("CREATE VIRTUAL TABLE %1.%2 USING fts5(callerID, Comment, content=%3, "
                                                "content_rowid='rowid', tokenize='trigram')")
                                     .arg(schema, index, sqlite::literal(table.table)));
            db.connection().exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 BEGIN %3 END")
                                     .arg(trigger.arg(QStringLiteral("insert")), rows, insert));
            db.connection().exec(QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON %2 BEGIN %3 END")
                                     .arg(trigger.arg(QStringLiteral("delete")), rows, remove));
            db.connection().exec(QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF callerID, Comment ON %2 BEGIN %3 %4 END")
                                     .arg(trigger.arg(QStringLiteral("update")), rows, remove, insert));
            db.connection().exec(QStringLiteral("INSERT INTO %1.%2(%2) VALUES ('rebuild')").arg(schema, index));
        });
        return true;
    } catch (const TableError&) {
        return false;
    }
}

QString matchPattern(const QString& text)
{
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace searchindex
