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

// An RFC 2047 word when the text is not plain ASCII.
QByteArray headerText(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 126 || c.unicode() < 32)
            return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
    return text.toLatin1();
}

} // namespace

bool SmtpMail::send(const SmtpEndpoint& server, const QString& password, const SmtpMessage& message, QString* error)
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
    for (const QString& field : {message.fromAddress, message.replyTo, message.to})
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
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_RCPT, recipients.get());

    Slist headers;
    append(headers, "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1());
    append(headers, "From: " + (message.fromName.isEmpty() ? QByteArray() : headerText(message.fromName) + " ") + from);
    append(headers, "To: " + address(message.to));
    if (!message.replyTo.isEmpty())
        append(headers, "Reply-To: " + address(message.replyTo));
    append(headers, "Subject: " + headerText(message.subject));
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());

    std::unique_ptr<curl_mime, MimeDeleter> mime(curl_mime_init(curl.get()));
    curl_mimepart* text = curl_mime_addpart(mime.get());
    const QByteArray body = message.body.toUtf8();
    curl_mime_data(text, body.constData(), size_t(body.size()));
    curl_mime_type(text, "text/plain; charset=UTF-8");
    for (const QString& path : message.attachments) {
        if (!QFileInfo(path).isReadable()) {
            *error = QStringLiteral("Cannot read the attachment %1").arg(path);
            return false;
        }
        curl_mimepart* part = curl_mime_addpart(mime.get());
        curl_mime_filedata(part, QFile::encodeName(path).constData());
        curl_mime_encoder(part, "base64");
    }
    curl_easy_setopt(curl.get(), CURLOPT_MIMEPOST, mime.get());
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 120L);
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, detail);
    const CURLcode result = curl_easy_perform(curl.get());
    if (result != CURLE_OK) {
        *error = QString::fromUtf8(*detail ? detail : curl_easy_strerror(result));
        return false;
    }
    return true;
}
