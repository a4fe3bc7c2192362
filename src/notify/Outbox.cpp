#include "notify/Outbox.h"

#include "catalogue/RecordingNames.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>

namespace {

constexpr qint64 MaxMailFile = 1024 * 1024;
const QString Suffix = QStringLiteral(".mail");

QJsonObject toJson(const OutboxMail& m)
{
    return {{QStringLiteral("created"), m.created.toUTC().toString(Qt::ISODateWithMs)},
            {QStringLiteral("attempts"), m.attempts},
            {QStringLiteral("next"), m.nextAttempt.toUTC().toString(Qt::ISODateWithMs)},
            {QStringLiteral("lastError"), m.lastError},
            {QStringLiteral("to"), QJsonArray::fromStringList(m.to)},
            {QStringLiteral("subject"), m.subject},
            {QStringLiteral("body"), m.body},
            {QStringLiteral("recording"), m.recording},
            {QStringLiteral("format"), m.format}};
}

bool fromJson(const QJsonObject& o, OutboxMail* m)
{
    m->created = QDateTime::fromString(o[QStringLiteral("created")].toString(), Qt::ISODateWithMs);
    m->attempts = qBound(0, o[QStringLiteral("attempts")].toInt(), 1000000);
    m->nextAttempt = QDateTime::fromString(o[QStringLiteral("next")].toString(), Qt::ISODateWithMs);
    m->lastError = o[QStringLiteral("lastError")].toString();
    for (const QJsonValue& v : o[QStringLiteral("to")].toArray())
        m->to << v.toString();
    m->subject = o[QStringLiteral("subject")].toString();
    m->body = o[QStringLiteral("body")].toString();
    m->recording = o[QStringLiteral("recording")].toString();
    m->format = o[QStringLiteral("format")].toString();
    // A name from a file is used as a path only when it is a plain one.
    if (!m->recording.isEmpty() && !isPlainFileName(m->recording))
        m->recording.clear();
    return m->created.isValid() && !m->to.isEmpty();
}

} // namespace

Outbox::Outbox(QString folder) : m_folder(std::move(folder)) {}

bool Outbox::isMailId(const QString& id)
{
    if (id.isEmpty() || id.size() > 64)
        return false;
    return std::all_of(id.begin(), id.end(), [](QChar c) { return c.isDigit() || (c >= 'a' && c <= 'z') || c == '-'; });
}

QString Outbox::pathOf(const QString& id) const
{
    return m_folder + QLatin1Char('/') + id + Suffix;
}

QString Outbox::attachmentPath(const OutboxMail& mail) const
{
    return m_folder + QLatin1Char('/') + mail.id + QStringLiteral(".ogg");
}

bool Outbox::add(OutboxMail& mail, QString* error)
{
    if (!QDir().mkpath(m_folder)) {
        *error = QStringLiteral("Cannot create the folder ") + m_folder;
        return false;
    }
    // Sorts by time; the random part keeps two mails of one millisecond apart.
    do {
        mail.id = mail.created.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")) + QLatin1Char('-')
                  + QString::number(QRandomGenerator::global()->bounded(36 * 36 * 36 * 36), 36);
    } while (QFile::exists(pathOf(mail.id)));
    return save(mail, error);
}

bool Outbox::save(const OutboxMail& mail, QString* error)
{
    QSaveFile file(pathOf(mail.id));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(toJson(mail)).toJson()) < 0 || !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

void Outbox::remove(const OutboxMail& mail)
{
    QFile::remove(pathOf(mail.id));
    QFile::remove(attachmentPath(mail));
}

std::vector<OutboxMail> Outbox::mails() const
{
    std::vector<OutboxMail> found;
    const QStringList names = QDir(m_folder).entryList({QLatin1Char('*') + Suffix}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString id = name.chopped(Suffix.size());
        QFile file(pathOf(id));
        if (!isMailId(id) || file.size() > MaxMailFile || !file.open(QIODevice::ReadOnly))
            continue;
        OutboxMail mail;
        mail.id = id;
        if (fromJson(QJsonDocument::fromJson(file.readAll()).object(), &mail))
            found.push_back(mail);
    }
    return found;
}
