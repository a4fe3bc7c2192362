#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

class QJsonObject;

// A request as the routes see it: header names in lower case, the path as
// sent (percent-encoded; a route decodes only the parts it takes).
struct WebRequest
{
    QByteArray method;
    QByteArray path;
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;
    QHostAddress peer;
    bool secure = false;

    QByteArray header(const QByteArray& lowerName) const { return headers.value(lowerName); }
    QByteArray cookie(const QByteArray& name) const;
    QString queryItem(const QString& name) const;
    bool isPost() const { return method == "POST"; }
};

struct WebResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    static WebResponse html(const QString& page);
    static WebResponse json(const QJsonObject& object, int status = 200);
    // A short plain text, for refusals and errors.
    static WebResponse text(int status, const QString& text);
    static WebResponse redirect(const QByteArray& location);
    WebResponse& with(const QByteArray& name, const QByteArray& value);
};

// Caller-supplied text for an HTML page: every character that could start
// markup or end an attribute becomes an entity.
QString htmlEscaped(const QString& text);
// One decoded path segment, or nothing when it is empty or holds a slash,
// a backslash, a control character or a dot segment once decoded.
bool plainSegment(const QByteArray& encoded, QString* decoded);
