#include "web/ByteRange.h"
#include "web/RouteTable.h"
#include "web/WebContext.h"

#include "audio/AudioImport.h"
#include "audio/FileConversion.h"
#include "audio/RiffReader.h"
#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "catalogue/RecordingOperations.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr quint16 PcmTag = 1;

// Browsers play plain PCM WAV; the modem's other formats (ADPCM, GSM,
// mu-law) are converted to 16-bit PCM once and served from the copy.
bool browserPlays(const QString& path)
{
    RegularFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    TdeRIFFAudioReader reader(&file);
    const TdeWaveFormat& format = reader.trackFormat();
    return format.formatTag() == PcmTag && (format.bitsPerSample() == 8 || format.bitsPerSample() == 16);
}

QString playableCopy(const WebContext& c, const RecordingRow& row, const QString& path)
{
    if (browserPlays(path))
        return path;
    const QFileInfo source(path);
    QString stem;
    for (const QChar ch : row.id)
        stem += ch.isLetterOrNumber() && ch.unicode() < 0x80 ? ch : QChar(u'_');
    const QString copy = QDir(c.tempFolder).filePath(
        QStringLiteral("%1-%2-%3.wav").arg(stem).arg(source.size()).arg(source.lastModified().toMSecsSinceEpoch()));
    if (!QFileInfo::exists(copy))
        ConvertWavFile(path, copy, greetingFormat());
    return copy;
}

// The name a download is saved under: the row's file name, in plain ASCII.
QByteArray downloadName(const QString& fileName)
{
    QByteArray name;
    for (const QChar ch : fileName)
        name += ch.unicode() < 0x80 && (ch.isLetterOrNumber() || ch == u'.' || ch == u'_' || ch == u'-') ? char(ch.unicode()) : '_';
    return name;
}

WebResponse serveFile(const QString& path, const QByteArray& rangeHeader, const QByteArray& type)
{
    RegularFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WebResponse::text(404, QStringLiteral("The recording's file cannot be read."));
    const qint64 size = file.size();
    const ByteRange range = ByteRange::parse(rangeHeader, size);
    if (range.kind == ByteRange::Kind::Unsatisfiable)
        return WebResponse::text(416, QStringLiteral("Range not satisfiable.")).with("Content-Range", "bytes */" + QByteArray::number(size));
    WebResponse response{range.kind == ByteRange::Kind::Part ? 206 : 200, type, QByteArray(), {}};
    if (size > 0 && (!file.seek(range.first) || (response.body = file.read(range.length())).size() != range.length()))
        return WebResponse::text(500, QStringLiteral("The recording's file cannot be read."));
    if (range.kind == ByteRange::Kind::Part)
        response.with("Content-Range", QStringLiteral("bytes %1-%2/%3").arg(range.first).arg(range.last).arg(size).toLatin1());
    return response.with("Accept-Ranges", "bytes");
}

} // namespace

void addAudioRoutes(RouteTable& routes, WebContext& c)
{
    routes.get("/audio/*", [&c](const RouteCall& call) {
        Catalogue& catalogue = c.service.catalogue();
        const std::vector<RecordingRow> rows = RecordingOperations(catalogue).rows({call.args[0]});
        // Only a row's own file, by a plain name inside the recordings folder.
        const QString path = rows.empty() ? QString() : catalogue.recordingPath(rows[0].fileName);
        if (path.isEmpty() || !QFileInfo(path).isFile() || QFileInfo(path).isSymLink())
            return WebResponse::text(404, QStringLiteral("There is no such recording."));
        if (call.request.queryItem(QStringLiteral("download")) == QLatin1String("1"))
            return serveFile(path, QByteArray(), "audio/wav")
                .with("Content-Disposition", "attachment; filename=\"" + downloadName(rows[0].fileName) + '"');
        return serveFile(playableCopy(c, rows[0], path), call.request.header("range"), "audio/wav");
    });
}
