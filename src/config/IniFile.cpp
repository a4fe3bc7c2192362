#include "IniFile.h"

#include "IniSyntax.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList decodeLines(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) // a file written by an older program in a Latin codepage
        text = QString::fromLatin1(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

QString systemError(const char* step, const QString& path)
{
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(step), path, QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

IniFile::IniFile(QString fileName) : m_fileName(std::move(fileName)) {}

IniFile::Stamp IniFile::currentStamp() const
{
    struct stat st;
    if (::stat(QFile::encodeName(m_fileName).constData(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino, qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void IniFile::refresh() const
{
    const Stamp stamp = currentStamp();
    if (m_loaded && stamp == m_stamp)
        return;
    m_lines.clear();
    if (stamp.exists) {
        QFile file(m_fileName);
        if (file.open(QIODevice::ReadOnly))
            m_lines = decodeLines(file.readAll());
    }
    m_stamp = stamp;
    m_loaded = true;
}

int IniFile::findSection(const QString& section) const
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = inisyntax::sectionName(m_lines.at(i));
        if (name && name->compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < m_lines.size() && !inisyntax::sectionName(m_lines.at(i)))
        ++i;
    return i;
}

int IniFile::findKey(int header, const QString& key) const
{
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const auto entry = inisyntax::keyValue(m_lines.at(i));
        if (entry && entry->key.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::rawValue(const QString& section, const QString& key) const
{
    refresh();
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const int line = findKey(header, key);
    if (line < 0)
        return std::nullopt;
    return inisyntax::keyValue(m_lines.at(line))->value.left(MaxValueLength);
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const
{
    return rawValue(section, key).value_or(def);
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const
{
    const auto text = rawValue(section, key);
    return text ? inisyntax::parseInteger(*text).value_or(def) : def;
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QTime IniFile::readTime(const QString& section, const QString& key, const QTime& def) const
{
    const auto text = rawValue(section, key);
    if (!text)
        return def;
    const QTime time = inisyntax::parseTime(*text);
    return time.isValid() ? time : def;
}

std::optional<QByteArray> IniFile::readBinary(const QString& section, const QString& key) const
{
    const auto text = rawValue(section, key);
    return text ? inisyntax::parseHex(*text) : std::nullopt;
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    refresh();
    QStringList lines = m_lines;
    const QString line = key.trimmed() + QLatin1Char('=') + inisyntax::firstLine(value);
    const int header = findSection(section);
    if (header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
        lines.append(line);
        return save(lines);
    }
    const int existing = findKey(header, key);
    if (existing >= 0) {
        lines[existing] = line;
        return save(lines);
    }
    // After the section's last non-blank line, so separating blank lines stay put.
    int insertAt = sectionEnd(header);
    while (insertAt > header + 1 && lines.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    lines.insert(insertAt, line);
    return save(lines);
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::writeTime(const QString& section, const QString& key, const QTime& value)
{
    return writeString(section, key, value.toString(QStringLiteral("HH:mm:ss")));
}

bool IniFile::writeBinary(const QString& section, const QString& key, const QByteArray& value)
{
    return writeString(section, key, QString::fromLatin1(value.toHex().toUpper()));
}

bool IniFile::sectionExists(const QString& section) const
{
    refresh();
    return findSection(section) >= 0;
}

bool IniFile::valueExists(const QString& section, const QString& key) const
{
    return rawValue(section, key).has_value();
}

QStringList IniFile::readSection(const QString& section) const
{
    refresh();
    QStringList keys;
    const int header = findSection(section);
    if (header < 0)
        return keys;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (const auto entry = inisyntax::keyValue(m_lines.at(i)))
            keys.append(entry->key);
    return keys;
}

QStringList IniFile::readSections() const
{
    refresh();
    QStringList names;
    for (const QString& line : std::as_const(m_lines))
        if (const auto name = inisyntax::sectionName(line))
            names.append(*name);
    return names;
}

bool IniFile::eraseSection(const QString& section)
{
    refresh();
    if (findSection(section) < 0)
        return true;
    QStringList lines = m_lines;
    const QString wanted = section.trimmed();
    for (int i = 0; i < lines.size();) {
        const auto name = inisyntax::sectionName(lines.at(i));
        if (!name || name->compare(wanted, Qt::CaseInsensitive) != 0) {
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < lines.size() && !inisyntax::sectionName(lines.at(end)))
            ++end;
        lines.remove(i, end - i);
    }
    return save(lines);
}

bool IniFile::deleteKey(const QString& section, const QString& key)
{
    refresh();
    const int header = findSection(section);
    const int line = header < 0 ? -1 : findKey(header, key);
    if (line < 0)
        return true;
    QStringList lines = m_lines;
    lines.removeAt(line);
    return save(lines);
}

bool IniFile::save(const QStringList& lines)
{
    // Replace the target of a symbolic link, not the link.
    const QFileInfo info(m_fileName);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_lastError = QStringLiteral("cannot create folder %1").arg(folder);
        return false;
    }
    QByteArray data = lines.join(QLatin1Char('\n')).toUtf8();
    if (!lines.isEmpty())
        data.append('\n');

    QByteArray tempName = QFile::encodeName(target) + ".XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) {
        m_lastError = systemError("cannot create a temporary file beside", target);
        return false;
    }
    struct stat old;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    const bool written = writeAll(fd, data) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!written || ::rename(tempName.constData(), QFile::encodeName(target).constData()) != 0) {
        if (written == false)
            errno = savedErrno;
        m_lastError = systemError("cannot write", target);
        ::unlink(tempName.constData());
        return false;
    }
    syncFolder(folder);
    m_lines = lines;
    m_stamp = currentStamp();
    m_loaded = true;
    m_lastError.clear();
    return true;
}
