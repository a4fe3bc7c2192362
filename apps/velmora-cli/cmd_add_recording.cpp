#include "CliCommand.h"
#include "RecordingRows.h"

#include "audio/AudioErrors.h"
#include "audio/RiffReader.h"
#include "catalogue/Catalogue.h"
#include "catalogue/RecordingImport.h"
#include "catalogue/TableError.h"
#include "platform/RegularFile.h"

#include <QFile>

namespace {

const QString Name = QStringLiteral("add-recording");

// The audio's length in milliseconds, from the file's format and data size.
qint64 wavLengthMs(const QString& path)
{
    RegularFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TableError(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    const TdeRIFFAudioReader reader(&file);
    const quint32 bytesPerSecond = reader.trackFormat().avgBytesPerSec();
    if (bytesPerSecond == 0)
        throw TableError(QStringLiteral("%1: the wave format gives no byte rate").arg(path));
    return reader.trackSize() * 1000 / bytesPerSecond;
}

// Prints the row just added: the last row of the folder new recordings go to.
void printAddedRow(Catalogue& catalogue, QTextStream& out)
{
    if (!catalogue.folders().locate(QStringLiteral("FolderId"), catalogue.recordFolderId()))
        return;
    catalogue.calls().last();
    printRecordingRow(catalogue.calls(), out);
}

int runAddRecording(CliContext& ctx)
{
    CliArgs args(ctx.args);
    ImportedCall call;
    call.callerNumber = args.option(QStringLiteral("--caller")).value_or(QString());
    call.callerName = args.option(QStringLiteral("--name")).value_or(QString());
    call.answeredByMachine = args.flag(QStringLiteral("--answered"));
    QStringList files;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, Name, args.error());
    try {
        call.lengthMs = wavLengthMs(files.first());
        const auto catalogue = Catalogue::openInDataFolder(ctx.dataDir);
        importRecording(*catalogue, files.first(), call);
        printAddedRow(*catalogue, ctx.out);
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli " << Name << ": " << files.first() << ": " << e.message() << "\n";
        return 1;
    } catch (const TableError& e) {
        ctx.err << "velmora-cli " << Name << ": " << e.message() << "\n";
        return 1;
    }
    return 0;
}

CliCommandRegistrar addRecording({Name, QStringLiteral("FILE.wav [--caller NUMBER] [--name NAME] [--answered]"),
                                  QStringLiteral("file a WAV file in the catalogue as a call that has just been "
                                                 "recorded (--answered: left on the answering machine, so new)"),
                                  &runAddRecording});

} // namespace
