#include "CliRecordings.h"

#include "catalogue/TableError.h"

int withCatalogue(CliContext& ctx, const QString& name, const std::function<int(Catalogue&)>& work)
{
    try {
        const auto catalogue = Catalogue::openInDataFolder(ctx.dataDir);
        return work(*catalogue);
    } catch (const TableError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
}

bool rowsOfIds(CliContext& ctx, const QString& name, RecordingOperations& ops, const QStringList& ids,
               std::vector<RecordingRow>& rows)
{
    rows = ops.rows(ids);
    bool all = true;
    for (const QString& id : ids) {
        const bool found = std::any_of(rows.begin(), rows.end(), [&](const RecordingRow& r) { return r.id == id; });
        if (!found) {
            ctx.err << "velmora-cli " << name << ": there is no recording with the id " << id << "\n";
            all = false;
        }
    }
    return all;
}
