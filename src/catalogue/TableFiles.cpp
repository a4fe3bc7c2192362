#include "TableFiles.h"

#include "TableError.h"

void createTableFile(Table& table, const FieldDefs& fields, const std::function<void(Table&)>& seed)
{
    table.close();
    table.setLoadMode(Table::LoadMode::Clear);
    table.setFieldDefinitions(fields);
    try {
        table.open();
        if (seed)
            seed(table);
        table.saveToFile(table.database().folder() + table.tableName());
    } catch (const TableError&) {
        table.close();
        table.setLoadMode(Table::LoadMode::File);
        throw;
    }
    table.close();
    table.setLoadMode(Table::LoadMode::File);
    table.open();
}

void openOrCreateTable(Table& table, const FieldDefs& fields, const std::function<void(Table&)>& seed)
{
    if (!table.database().tableFileExists(table.tableName())) {
        createTableFile(table, fields, seed);
        return;
    }
    table.setLoadMode(Table::LoadMode::File);
    table.open();
}

void clearSpareFields(Table& table)
{
    for (int i = 1; i <= 4; ++i) {
        table.field(QStringLiteral("int%1").arg(i)).setInteger(0);
        table.field(QStringLiteral("bool%1").arg(i)).setBool(false);
        table.field(QStringLiteral("st%1").arg(i)).setText(QString());
        table.field(QStringLiteral("real%1").arg(i)).setFloat(0.0);
    }
}
