#pragma once

#include "Table.h"

#include <functional>

// Creating table files. A new file is built in memory and installed in one
// step, so it is either absent or complete.

// Creates the table's file in its database folder with these fields, lets
// `seed` add the first rows, and opens the file.
void createTableFile(Table& table, const FieldDefs& fields, const std::function<void(Table&)>& seed = nullptr);

// Opens the table's file, or creates it (as above) when there is none. A
// file that exists but cannot be read is reported, never replaced.
void openOrCreateTable(Table& table, const FieldDefs& fields, const std::function<void(Table&)>& seed = nullptr);

// The spare fields of the row being edited (int1..4, bool1..4, st1..4,
// real1..4), written as zero, false and empty.
void clearSpareFields(Table& table);
