#include "web/HttpMessage.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

QByteArray WebRequest::cookie(const QByteArray& name) const
{
    for (const QByteArray& part : header("cookie").split(';')) {
        const QByteArray item = part.trimmed();
        if (item.startsWith(name + '='))
            return item.mid(name.size() + 1);
    }
    return QByteArray();
}

QString WebRequest::queryItem(const QString& name) const
{
    return query.queryItemValue(name, QUrl::FullyDecoded);
}

WebResponse WebResponse::html(const QString& page)
{
    return WebResponse{200, "text/html; charset=utf-8", page.toUtf8(), {}};
}

WebResponse WebResponse::json(const QJsonObject& object, int status)
{
    return WebResponse{status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact), {}};
}

WebResponse WebResponse::text(int status, const QString& text)
{
    return WebResponse{status, "text/plain; charset=utf-8", text.toUtf8() + '\n', {}};
}

WebResponse WebResponse::redirect(const QByteArray& location)
{
    WebResponse response{303, "text/plain; charset=utf-8", QByteArray(), {}};
    return response.with("Location", location);
}

WebResponse& WebResponse::with(const QByteArray& name, const QByteArray& value)
{
    headers.append({name, value});
    return *this;
}

QString htmlEscaped(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '&': out += QLatin1String("&amp;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c.unicode() < 0x20 ? QChar(u'?') : c;
        }
    }
    return out;
}

bool plainSegment(const QByteArray& encoded, QString* decoded)
{
    const QString text = QUrl::fromPercentEncoding(encoded);
    if (text.isEmpty() || text == QLatin1String(".") || text == QLatin1String(".."))
        return false;
    for (const QChar c : text)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    *decoded = text;
    return true;
}
