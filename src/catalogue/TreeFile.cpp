#include "TreeFile.h"

#include "platform/FileSync.h"

#include "config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QStringDecoder>

namespace {

const QString TreeSection = QStringLiteral("Tree");
const QString FoldersSection = QStringLiteral("Folders");
const QString ExpandedSection = QStringLiteral("Expanded");

QString nodeKey(int index)
{
    return QStringLiteral("Node%1").arg(index);
}

QString safeText(QString text)
{
    for (QChar& c : text)
        if (c == QLatin1Char('#') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char('_');
    return text;
}

// Each section in one write: a write per node re-read the whole file, and a
// tree of a few thousand folders took tens of seconds.
bool writeTree(const FolderTree& tree, IniFile& ini)
{
    QList<std::pair<QString, QString>> texts, folders, expanded;
    int index = 0;
    tree.forEach([&](const FolderNode& node, int level) {
        const QString key = nodeKey(index++);
        texts.append({key, QString(level, QLatin1Char('#')) + safeText(node.text)});
        folders.append({key, node.folderKey});
        expanded.append({key, node.expanded ? QStringLiteral("1") : QStringLiteral("0")});
    });
    return ini.writeSection(TreeSection, texts) && ini.writeSection(FoldersSection, folders)
        && ini.writeSection(ExpandedSection, expanded);
}

// Keys match without regard to case; the first of a repeated key counts,
// as for single reads.
QHash<QString, QString> sectionByKey(const IniFile& ini, const QString& section)
{
    QHash<QString, QString> values;
    for (const auto& [key, value] : ini.readSectionValues(section))
        if (const QString folded = key.toCaseFolded(); !values.contains(folded))
            values.insert(folded, value);
    return values;
}

} // namespace

bool SaveTreeToIni(const FolderTree& tree, IniFile& ini, QString* error)
{
    // One replacement of the file for the whole tree, not three per node.
    ini.beginUpdate();
    if (!writeTree(tree, ini)) {
        ini.cancelUpdate();
        if (error)
            *error = ini.lastError();
        return false;
    }
    const bool ok = ini.commitUpdate();
    if (!ok && error)
        *error = ini.lastError();
    return ok;
}

void LoadTreeFromIni(FolderTree& tree, const IniFile& ini)
{
    QStringList lines;
    const QHash<QString, QString> texts = sectionByKey(ini, TreeSection);
    for (const auto& entry : ini.readSectionValues(TreeSection))
        lines.append(texts.value(entry.first.toCaseFolded()).replace(QLatin1Char('#'), QLatin1Char('\t')));
    tree = FolderTree::fromLines(lines);
    const QHash<QString, QString> keys = sectionByKey(ini, FoldersSection);
    const QHash<QString, QString> expanded = sectionByKey(ini, ExpandedSection);
    int index = 0;
    tree.forEach([&](FolderNode& node, int) {
        const QString key = nodeKey(index++).toCaseFolded();
        node.folderKey = keys.value(key);
        node.expanded = expanded.value(key) == QLatin1String("1");
    });
}

std::optional<FolderTree> loadLegacyTreeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) // written by the older release in a Latin codepage
        text = QString::fromLatin1(bytes);
    QStringList lines;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines.append(line);
    }
    FolderTree tree = FolderTree::fromLines(lines);
    tree.forEach([](FolderNode& node, int) { node.expanded = true; });
    return tree;
}

QString folderNameError(const QString& name)
{
    if (name.contains(QLatin1Char('#')) || name.contains(QLatin1Char('\t')))
        return QStringLiteral("A folder name cannot contain \"#\" or a TAB");
    if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        return QStringLiteral("A folder name must be one line");
    if (name.size() > 100)
        return QStringLiteral("A folder name can be at most 100 characters long");
    return {};
}
