#include "support/RecordingMail.h"
#include "catalogue/RecordingNames.h"

#include <QFileInfo>

RecordingMail RecordingMail::compose(const std::vector<RecordingRow>& rows, const QString& recordingsFolder,
                                     const QString& webAddress, const QStringList& recipients)
{
    RecordingMail mail;
    mail.message.recipients = recipients;
    mail.message.body = QStringLiteral("Hello,\n\n\nRecorded with Velmora\n");
    if (!webAddress.trimmed().isEmpty())
        mail.message.body += webAddress.trimmed() + QLatin1Char('\n');
    for (const RecordingRow& row : rows) {
        const bool plain = isPlainFileName(row.fileName);
        const QFileInfo file(recordingsFolder + row.fileName);
        if (!plain || !file.isFile()) {
            mail.missing << row.fileName;
            continue;
        }
        mail.message.attachments << file.absoluteFilePath();
        mail.totalBytes += file.size();
    }
    return mail;
}
