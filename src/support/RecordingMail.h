#pragma once

#include "catalogue/RecordingList.h"
#include "platform/MailFacility.h"

#include <vector>

// Recordings as a mail for the user's mail program: "Hello," and the
// "Recorded with" line, each existing file attached.
struct RecordingMail
{
    static constexpr qint64 AskAboveBytes = 20LL * 1024 * 1024;
    MailMessage message;
    qint64 totalBytes = 0;
    QStringList missing; // file names that are not there

    static RecordingMail compose(const std::vector<RecordingRow>& rows, const QString& recordingsFolder,
                                 const QString& webAddress, const QStringList& recipients = {});
};
