#include "support/SmtpMail.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFile>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace {

struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct EasyDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct MimeDeleter
{
    void operator()(curl_mime* mime) const { curl_mime_free(mime); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

void append(Slist& list, const QByteArray& line)
{
    curl_slist* grown = curl_slist_append(list.get(), line.constData());
    if (grown) {
        (void)list.release();
        list.reset(grown);
    }
}

QByteArray address(const QString& text)
{
    return "<" + text.trimmed().toUtf8() + ">";
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

// One bare address: nothing that would end the <...> or add a recipient.
bool isPlainAddress(const QString& text)
{
    const QString address = text.trimmed();
    if (address.isEmpty())
        return true;
    for (QChar c : address)
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char(','))
            return false;
    return true;
}

const char* mimeType(const QString& path)
{
    if (path.endsWith(QLatin1String(".ogg"), Qt::CaseInsensitive) || path.endsWith(QLatin1String(".opus"), Qt::CaseInsensitive))
        return "audio/ogg";
    if (path.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive))
        return "audio/wav";
    return "application/octet-stream";
}

int progress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return stop && static_cast<const std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

int debugLine(CURL*, curl_infotype type, char* data, size_t size, void* lines)
{
    if (type == CURLINFO_HEADER_IN)
        static_cast<QStringList*>(lines)->append(QString::fromUtf8(data, qsizetype(size)).trimmed());
    return 0;
}

bool addAttachments(curl_mime* mime, const SmtpMessage& message, QString* error)
{
    for (qsizetype i = 0; i < message.attachments.size(); ++i) {
        const QString& path = message.attachments[i];
        if (!QFileInfo(path).isReadable()) {
            *error = QStringLiteral("Cannot read the attachment %1").arg(path);
            return false;
        }
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_filedata(part, QFile::encodeName(path).constData());
        curl_mime_type(part, mimeType(path));
        const QString name = message.attachmentNames.value(i);
        if (!name.isEmpty())
            curl_mime_filename(part, name.toUtf8().constData());
        curl_mime_encoder(part, "base64");
    }
    return true;
}

} // namespace

QByteArray SmtpMail::headerText(const QString& text)
{
    bool plain = true;
    for (QChar c : text)
        plain = plain && c.unicode() <= 126 && c.unicode() >= 32;
    if (plain)
        return text.toLatin1();
    // 45 bytes make 60 base64 characters: with "=?UTF-8?B?" and "?=", 72. A
    // word never splits a character.
    QByteArray words, chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, width).toUtf8();
        i += width - 1;
        if (chunk.size() + bytes.size() > 45) {
            words += (words.isEmpty() ? "" : " ") + ("=?UTF-8?B?" + chunk.toBase64() + "?=");
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words += (words.isEmpty() ? "" : " ") + ("=?UTF-8?B?" + chunk.toBase64() + "?=");
    return words;
}

bool SmtpMail::send(const SmtpEndpoint& server, const QString& password, const SmtpMessage& message, QString* error,
                    const SmtpControl& control)
{
    static std::once_flag global;
    std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (server.host.trimmed().isEmpty() || message.to.trimmed().isEmpty()) {
        *error = QStringLiteral("No mail server or no recipient is set.");
        return false;
    }
    // Typed fields end up in headers: a line break there would add headers.
    for (const QString& field : {message.fromAddress, message.fromName, message.replyTo, message.to, message.subject})
        if (hasLineBreak(field)) {
            *error = QStringLiteral("A mail field holds a line break.");
            return false;
        }
    for (const QString& field : QStringList{message.fromAddress, message.replyTo, message.to} + message.alsoTo)
        if (!isPlainAddress(field)) {
            *error = QStringLiteral("\"%1\" is not a mail address.").arg(field.trimmed());
            return false;
        }
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl) {
        *error = QStringLiteral("The mail library could not start.");
        return false;
    }
    const QString scheme = server.port == 465 ? QStringLiteral("smtps") : QStringLiteral("smtp");
    const QByteArray url = QStringLiteral("%1://%2:%3").arg(scheme, server.host.trimmed()).arg(server.port).toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    const QByteArray caFile = QFile::encodeName(server.caFile);
    if (!server.caFile.isEmpty())
        curl_easy_setopt(curl.get(), CURLOPT_CAINFO, caFile.constData());
    const QByteArray account = server.account.toUtf8(), secret = password.toUtf8();
    if (!server.account.isEmpty()) {
        curl_easy_setopt(curl.get(), CURLOPT_USERNAME, account.constData());
        curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, secret.constData());
    }
    const QByteArray from = address(message.fromAddress);
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_FROM, from.constData());
    Slist recipients;
    append(recipients, address(message.to));
    for (const QString& to : message.alsoTo)
        append(recipients, address(to));
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_RCPT, recipients.get());

    Slist headers;
    append(headers, "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1());
    append(headers, "From: " + (message.fromName.isEmpty() ? QByteArray() : headerText(message.fromName) + " ") + from);
    QByteArray toLine = "To: " + address(message.to);
    for (const QString& to : message.alsoTo)
        toLine += ", " + address(to);
    append(headers, toLine);
    if (!message.replyTo.isEmpty())
        append(headers, "Reply-To: " + address(message.replyTo));
    append(headers, "Subject: " + headerText(message.subject));
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());

    std::unique_ptr<curl_mime, MimeDeleter> mime(curl_mime_init(curl.get()));
    curl_mimepart* text = curl_mime_addpart(mime.get());
    const QByteArray body = message.body.toUtf8();
    curl_mime_data(text, body.constData(), size_t(body.size()));
    curl_mime_type(text, "text/plain; charset=UTF-8");
    if (!addAttachments(mime.get(), message, error))
        return false;
    curl_easy_setopt(curl.get(), CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, long(control.timeoutSeconds));
    if (control.stop) {
        curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, &progress);
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(control.stop));
    }
    if (control.serverLines) {
        curl_easy_setopt(curl.get(), CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_DEBUGFUNCTION, &debugLine);
        curl_easy_setopt(curl.get(), CURLOPT_DEBUGDATA, control.serverLines);
    }
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, detail);
    const CURLcode result = curl_easy_perform(curl.get());
    if (result != CURLE_OK) {
        *error = QString::fromUtf8(*detail ? detail : curl_easy_strerror(result));
        return false;
    }
    return true;
}
