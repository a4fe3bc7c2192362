#pragma once

#include "config/IniSyntax.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>
#include <utility>
#include <vector>
#include <sys/types.h>

// The settings file (vlm.ini, Tree.ini): sections of "key=value" lines.
//
// Section and key names match without regard to case and surrounding blanks.
// There is no cache the caller can see: every read reflects the file as it is
// on disk now (it is re-read when it changed), and every write replaces the
// file at once, through a temporary file and a rename, so a reader never sees
// half a file and a crash never leaves one. Lines the class does not
// understand (comments, junk in a hand-edited file) are kept as they are.
class IniFile
{
public:
    static constexpr int MaxValueLength = 2047;

    explicit IniFile(QString fileName);

    const QString& fileName() const { return m_fileName; }

    QString readString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal after "0x" or "$"; anything else gives def.
    int readInteger(const QString& section, const QString& key, int def) const;
    // Read as an integer, non-zero is true.
    bool readBool(const QString& section, const QString& key, bool def) const;
    // "hh:mm:ss" (24-hour, as written) or the locale's time format.
    QTime readTime(const QString& section, const QString& key, const QTime& def) const;
    // Hexadecimal text, two digits a byte; nullopt when missing or unreadable.
    std::optional<QByteArray> readBinary(const QString& section, const QString& key) const;

    // Each write returns false when the file could not be replaced; the old
    // file then stays as it was. A value is one line: a line break ends it.
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, int value);
    bool writeBool(const QString& section, const QString& key, bool value);
    bool writeTime(const QString& section, const QString& key, const QTime& value);
    bool writeBinary(const QString& section, const QString& key, const QByteArray& value);

    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;
    // The keys of a section in file order, as spelled in the file.
    QStringList readSection(const QString& section) const;
    // The entries of a section in file order, keys as spelled in the file:
    // one look at the file for all of them.
    QList<std::pair<QString, QString>> readSectionValues(const QString& section) const;
    QStringList readSections() const;
    bool eraseSection(const QString& section);
    // The section (every copy of it) replaced by these keys, in one write;
    // no keys: the section is erased.
    bool writeSection(const QString& section, const QList<std::pair<QString, QString>>& values);
    bool deleteKey(const QString& section, const QString& key);

    // Many writes as one: between beginUpdate() and commitUpdate() writes
    // change the handle's view only (its own reads see them), and
    // commitUpdate() replaces the file once. Updates nest; the outermost
    // commit writes. Dropping the handle or calling cancelUpdate() instead
    // leaves the file as it was.
    void beginUpdate();
    bool commitUpdate();
    void cancelUpdate();

    // Changes whenever the content changes, here or on disk (another handle,
    // the user's editor): a cheap test whether what was read is still current.
    quint64 contentVersion() const
    {
        refresh();
        return m_version;
    }

    // The reason of the last failed write, for logs.
    const QString& lastError() const { return m_lastError; }

private:
    struct Stamp
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = 0;
        qint64 mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };

    struct ParsedLine
    {
        std::optional<QString> section;
        std::optional<inisyntax::KeyValue> entry;
    };

    void setLines(const QStringList& lines) const;
    void refresh() const;
    Stamp currentStamp() const;
    int findSection(const QString& section) const; // header line index or -1
    int sectionEnd(int header) const;              // first line after the section
    int findKey(int header, const QString& key) const;
    std::optional<QString> rawValue(const QString& section, const QString& key) const;
    bool store(const QStringList& lines);
    QStringList linesWithout(const QString& section) const;
    bool save(const QStringList& lines);

    QString m_fileName;
    mutable QStringList m_lines;
    mutable std::vector<ParsedLine> m_parsed; // m_lines, parsed once

    mutable Stamp m_stamp;
    mutable bool m_loaded = false;
    mutable quint64 m_version = 0;
    int m_updateDepth = 0;
    bool m_updateDirty = false;
    QString m_lastError;
};
