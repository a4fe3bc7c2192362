#include "CliRecordings.h"

#include "catalogue/DataFolder.h"
#include "catalogue/TableError.h"
#include "postprocess/RecordingEdit.h"
#include "postprocess/VoiceEqualizer.h"
#include "postprocess/VolumeLevel.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A path, or the name of a file in the recordings folder.
QString recordingPath(const CliContext& ctx, const QString& file)
{
    if (QFileInfo(file).isFile())
        return QFileInfo(file).absoluteFilePath();
    const QString folder = datafolder::recordingsFolder(datafolder::choose(datafolder::currentInputs(ctx.dataDir)));
    return QFileInfo(folder + file).isFile() ? QFileInfo(folder + file).absoluteFilePath() : QString();
}

// A catalogued file's row gets its new size; a file elsewhere has no row.
void updateRow(CliContext& ctx, const QString& name, const QString& path)
{
    const QString dataFolder = datafolder::choose(datafolder::currentInputs(ctx.dataDir));
    const QString folder = QDir(datafolder::recordingsFolder(dataFolder)).absolutePath();
    if (QFileInfo(path).absolutePath() != folder || !QFileInfo::exists(dataFolder))
        return;
    withCatalogue(ctx, name, [&](Catalogue& catalogue) {
        RecordingOperations ops(catalogue);
        const QString id = ops.idOfFile(QFileInfo(path).fileName());
        if (!id.isEmpty() && ops.setFileSize(id, QFileInfo(path).size()))
            ctx.out << "UPDATED " << id << '\t' << QFileInfo(path).size() << '\n';
        return 0;
    });
}

// Opens, processes and saves in the file's own format, as the dialogs' Save does.
int edit(CliContext& ctx, const QString& name, const QString& file, const std::function<bool(RecordingEdit&)>& work)
{
    const QString path = recordingPath(ctx, file);
    if (path.isEmpty()) {
        ctx.err << "velmora-cli " << name << ": " << file << " is not a file\n";
        return 1;
    }
    RecordingEdit recording;
    QString error;
    if (!recording.open(path, &error)) {
        ctx.err << "velmora-cli " << name << ": " << path << ": " << error << "\n";
        return 1;
    }
    if (!work(recording))
        return 0; // left as it was
    if (!recording.save(&error)) {
        ctx.err << "velmora-cli " << name << ": " << error << "\n";
        return 1;
    }
    ctx.out << "SAVED " << path << '\n';
    updateRow(ctx, name, path);
    return 0;
}

int runLevel(CliContext& ctx)
{
    const QString name = QStringLiteral("level");
    CliArgs args(ctx.args);
    const std::optional<int> percent = args.intOption(QStringLiteral("--percent"));
    QStringList files;
    if (!args.positional(1, 1, files) || !percent)
        return cliUsageError(ctx, name, args.error().isEmpty() ? QStringLiteral("give --percent P") : args.error());
    if (*percent < postprocess::MinLevelPercent || *percent > postprocess::MaxLevelPercent)
        return cliUsageError(ctx, name, QStringLiteral("the percentage runs from -50 to 100"));
    return edit(ctx, name, files[0], [&](RecordingEdit& recording) {
        if (*percent == 0) {
            ctx.out << "UNCHANGED " << recording.path() << ": a change of 0% keeps every sample\n";
            return false;
        }
        postprocess::applyVolumeLevel(recording.data(), recording.size(), *percent);
        return true;
    });
}

int runEqualize(CliContext& ctx)
{
    const QString name = QStringLiteral("equalize");
    CliArgs args(ctx.args);
    QStringList files;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, name, args.error());
    return edit(ctx, name, files[0], [&](RecordingEdit& recording) {
        const postprocess::EqualizeOutcome outcome = postprocess::equalizeVoice(recording.data(), recording.size());
        if (outcome.noVoice()) {
            ctx.out << "UNCHANGED " << recording.path() << ": the recording holds no voice to even out\n";
            return false;
        }
        ctx.out << "EQUALIZED " << outcome.spurtsRaised << " talk spurts raised to 1.3 times the average voice level "
                << outcome.averageVoice << '\n';
        return true;
    });
}

CliCommandRegistrar level({QStringLiteral("level"), QStringLiteral("FILE --percent P"),
                           QStringLiteral("make a recording louder or quieter (P from -50 to 100) and save it in "
                                          "its own format"),
                           &runLevel});
CliCommandRegistrar equalize({QStringLiteral("equalize"), QStringLiteral("FILE"),
                              QStringLiteral("raise the quiet talk spurts of a recording to the average voice and "
                                             "save it in its own format"),
                              &runEqualize});

} // namespace
