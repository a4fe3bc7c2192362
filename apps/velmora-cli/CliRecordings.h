#pragma once

#include "CliCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/RecordingOperations.h"

#include <functional>
#include <memory>

// Opens the catalogue and runs `work` on it; a TableError is printed as
// "velmora-cli NAME: ..." and exits 1.
int withCatalogue(CliContext& ctx, const QString& name, const std::function<int(Catalogue&)>& work);
// The rows of the ids; an id no row has is printed and makes it false.
bool rowsOfIds(CliContext& ctx, const QString& name, RecordingOperations& ops, const QStringList& ids,
               std::vector<RecordingRow>& rows);
