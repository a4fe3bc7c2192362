#include "IniFile.h"

#include "IniSyntax.h"

#include "platform/FileSync.h"
#include "core/VisibleText.h"

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

void IniFile::setLines(const QStringList& lines) const
{
    m_lines = lines;
    ++m_version;
    m_parsed.clear();
    m_parsed.reserve(size_t(lines.size()));
    for (const QString& line : lines)
        m_parsed.push_back({inisyntax::sectionName(line), inisyntax::keyValue(line)});
}

void IniFile::refresh() const
{
    if (m_updateDepth > 0)
        return; // an update sees its own writes, not the file
    const Stamp stamp = currentStamp();
    if (m_loaded && stamp == m_stamp)
        return;
    QStringList lines;
    if (stamp.exists) {
        QFile file(m_fileName);
        if (file.open(QIODevice::ReadOnly))
            lines = decodeLines(file.readAll());
    }
    setLines(lines);
    m_stamp = stamp;
    m_loaded = true;
}

int IniFile::findSection(const QString& section) const
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto& name = m_parsed[size_t(i)].section;
        if (name && name->compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < m_lines.size() && !m_parsed[size_t(i)].section)
        ++i;
    return i;
}

int IniFile::findKey(int header, const QString& key) const
{
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const auto& entry = m_parsed[size_t(i)].entry;
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
    return m_parsed[size_t(line)].entry->value.left(MaxValueLength);
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
    // A modem's model name or a caller's text may hold escape sequences.
    const QString line = key.trimmed() + QLatin1Char('=') + visibleText(inisyntax::firstLine(value));
    const int header = findSection(section);
    if (header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
        lines.append(line);
        return store(lines);
    }
    const int existing = findKey(header, key);
    if (existing >= 0) {
        lines[existing] = line;
        return store(lines);
    }
    // After the section's last non-blank line, so separating blank lines stay put.
    int insertAt = sectionEnd(header);
    while (insertAt > header + 1 && lines.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    lines.insert(insertAt, line);
    return store(lines);
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
        if (const auto& entry = m_parsed[size_t(i)].entry)
            keys.append(entry->key);
    return keys;
}

QList<std::pair<QString, QString>> IniFile::readSectionValues(const QString& section) const
{
    refresh();
    QList<std::pair<QString, QString>> values;
    const int header = findSection(section);
    if (header < 0)
        return values;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (const auto& entry = m_parsed[size_t(i)].entry)
            values.append({entry->key, entry->value.left(MaxValueLength)});
    return values;
}

QStringList IniFile::readSections() const
{
    refresh();
    QStringList names;
    for (const ParsedLine& line : m_parsed)
        if (const auto& name = line.section)
            names.append(*name);
    return names;
}

bool IniFile::eraseSection(const QString& section)
{
    refresh();
    if (findSection(section) < 0)
        return true;
    return store(linesWithout(section));
}

bool IniFile::writeSection(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    refresh();
    QStringList lines = findSection(section) < 0 ? m_lines : linesWithout(section);
    if (values.isEmpty())
        return lines == m_lines || store(lines);
    if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
        lines.append(QString());
    lines.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
    for (const auto& [key, value] : values)
        lines.append(key.trimmed() + QLatin1Char('=') + visibleText(inisyntax::firstLine(value)));
    return store(lines);
}

QStringList IniFile::linesWithout(const QString& section) const
{
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
    return lines;
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
    return store(lines);
}

void IniFile::beginUpdate()
{
    if (m_updateDepth == 0) {
        refresh();
        m_updateDirty = false;
    }
    ++m_updateDepth;
}

bool IniFile::commitUpdate()
{
    if (m_updateDepth == 0 || --m_updateDepth > 0)
        return true;
    if (!m_updateDirty)
        return true;
    m_updateDirty = false;
    if (save(m_lines))
        return true;
    m_loaded = false; // the file was not replaced: forget the unsaved view
    return false;
}

void IniFile::cancelUpdate()
{
    m_updateDepth = 0;
    m_updateDirty = false;
    m_loaded = false;
}

bool IniFile::store(const QStringList& lines)
{
    if (m_updateDepth == 0)
        return save(lines);
    setLines(lines);
    m_updateDirty = true;
    return true;
}

bool IniFile::save(const QStringList& lines)
{
    QByteArray data = lines.join(QLatin1Char('\n')).toUtf8();
    if (!lines.isEmpty())
        data.append('\n');
    if (!replaceFile(m_fileName, data, &m_lastError))
        return false;
    setLines(lines);
    m_stamp = currentStamp();
    m_loaded = true;
    m_lastError.clear();
    return true;
}
