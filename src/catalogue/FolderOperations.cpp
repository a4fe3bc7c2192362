#include "catalogue/FolderOperations.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Sqlite.h"
#include "catalogue/TableError.h"
#include "catalogue/RecordingNames.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>

namespace {

const QString FolderId = QStringLiteral("FolderId");
const QString FolderName = QStringLiteral("FolderName");

struct Slot
{
    std::vector<FolderNode>* siblings = nullptr;
    size_t index = 0;
};

bool findSlot(std::vector<FolderNode>& nodes, const QString& key, Slot& slot)
{
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].folderKey == key) {
            slot = {&nodes, i};
            return true;
        }
        if (findSlot(nodes[i].children, key, slot))
            return true;
    }
    return false;
}

void collectKeys(const FolderNode& node, QStringList& keys)
{
    keys << node.folderKey;
    for (const FolderNode& child : node.children)
        collectKeys(child, keys);
}

bool contains(const FolderNode& node, const QString& key)
{
    if (node.folderKey == key)
        return true;
    for (const FolderNode& child : node.children)
        if (contains(child, key))
            return true;
    return false;
}

QString placeholders(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

} // namespace

QString FolderOperations::nameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("A folder needs a name");
    for (const QChar c : name)
        if (c == QLatin1Char('#') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return QStringLiteral("A folder name cannot hold \"#\", a TAB or a line break");
    return QString();
}

FolderNode* FolderOperations::node(const QString& key) const
{
    Slot slot;
    if (key.isEmpty() || !findSlot(m_catalogue.tree().roots, key, slot))
        return nullptr;
    return &(*slot.siblings)[slot.index];
}

bool FolderOperations::isFirstNode(const QString& key) const
{
    const auto& roots = m_catalogue.tree().roots;
    return !roots.empty() && roots.front().folderKey == key;
}

bool FolderOperations::isGeneral(const QString& key) const
{
    const FolderNode* n = node(key);
    return n && n->text == Catalogue::GeneralFolderName;
}

QString FolderOperations::folderName(const QString& key) const
{
    const FolderNode* n = node(key);
    return n ? n->text : QString();
}

void FolderOperations::addFolderRow(const QString& key)
{
    Table& folders = m_catalogue.folders();
    folders.append();
    folders.field(FolderId).setText(key);
    folders.field(FolderName).setText(NewFolderName);
    folders.post();
    folders.commit();
}

QString FolderOperations::add(const QString& atKey, Place place)
{
    const QString key = m_catalogue.folders().newUniqueKey(FolderId);
    addFolderRow(key);
    FolderNode fresh{NewFolderName, key, false, {}};
    Slot slot;
    auto& roots = m_catalogue.tree().roots;
    if (atKey.isEmpty() || !findSlot(roots, atKey, slot)) {
        roots.push_back(fresh);
        return key;
    }
    auto& siblings = *slot.siblings;
    switch (place) {
    case Place::LastSibling: siblings.push_back(fresh); break;
    case Place::Before: siblings.insert(siblings.begin() + qsizetype(slot.index), fresh); break;
    case Place::LastChild:
        siblings[slot.index].children.push_back(fresh);
        siblings[slot.index].expanded = true;
        break;
    }
    return key;
}

void FolderOperations::rename(const QString& key, const QString& name)
{
    FolderNode* n = node(key);
    if (!n)
        throw TableError(QStringLiteral("The folder is no longer in the tree"));
    if (n->text == Catalogue::GeneralFolderName)
        throw TableError(QStringLiteral("General folder can not be renamed"));
    if (const QString problem = nameProblem(name); !problem.isEmpty())
        throw TableError(problem);
    Table& folders = m_catalogue.folders();
    if (!folders.locate(FolderId, key))
        throw TableError(QStringLiteral("The folder %1 has no row in %2").arg(n->text, folders.tableName()));
    folders.edit();
    folders.field(FolderName).setText(name.trimmed());
    folders.post();
    folders.commit();
    n->text = name.trimmed();
}

int FolderOperations::remove(const QString& key)
{
    Slot slot;
    if (key.isEmpty() || !findSlot(m_catalogue.tree().roots, key, slot))
        return 0;
    const FolderNode& doomed = (*slot.siblings)[slot.index];
    if (doomed.text == Catalogue::GeneralFolderName)
        throw TableError(QStringLiteral("General folder can not be deleted"));
    if (!m_catalogue.folders().containsValue(FolderId, key))
        return 0; // its row cannot be found: nothing is touched
    QStringList keys;
    collectKeys(doomed, keys);

    Database& db = m_catalogue.database();
    const QString calls = m_catalogue.calls().qualifiedName();
    const QString folders = m_catalogue.folders().qualifiedName();
    const QString in = placeholders(keys.size());
    QStringList files;
    {
        sqlite::Statement select(db.connection(),
                                 QStringLiteral("SELECT id, fileName FROM %1 WHERE FolderId IN (%2)").arg(calls, in));
        for (int i = 0; i < keys.size(); ++i)
            select.bind(i + 1, keys[i]);
        while (select.step()) {
            files << select.column(1).toString();
            const QString id = select.column(0).toString();
            files << (isPlainFileName(id) ? id + QStringLiteral(".wav") : QString()); // a legacy name
        }
    }
    try {
        db.transaction([&] {
            for (const QString& table : {calls, folders}) {
                sqlite::Statement remove(db.connection(),
                                         QStringLiteral("DELETE FROM %1 WHERE FolderId IN (%2)").arg(table, in));
                for (int i = 0; i < keys.size(); ++i)
                    remove.bind(i + 1, keys[i]);
                remove.step();
            }
        });
    } catch (const TableError&) {
        m_catalogue.calls().refresh();
        m_catalogue.folders().refresh();
        throw;
    }
    int removed = 0;
    for (qsizetype i = 0; i < files.size(); i += 2) {
        ++removed;
        for (const QString& name : {files[i], files[i + 1]})
            if (const QString path = m_catalogue.recordingPath(name); !path.isEmpty())
                QFile::remove(path);
    }
    slot.siblings->erase(slot.siblings->begin() + qsizetype(slot.index));
    m_catalogue.calls().refresh();
    m_catalogue.folders().refresh();
    return removed;
}

bool FolderOperations::move(const QString& key, const QString& targetKey, bool asChild)
{
    Slot from;
    auto& roots = m_catalogue.tree().roots;
    if (isFirstNode(key) || isFirstNode(targetKey) || !findSlot(roots, key, from))
        return false;
    if (contains((*from.siblings)[from.index], targetKey))
        return false;
    FolderNode moving = std::move((*from.siblings)[from.index]);
    from.siblings->erase(from.siblings->begin() + qsizetype(from.index));
    Slot to;
    if (!findSlot(roots, targetKey, to)) { // cannot happen after the checks; keep the node
        roots.push_back(std::move(moving));
        return true;
    }
    FolderNode& target = (*to.siblings)[to.index];
    if (asChild) {
        target.children.insert(target.children.begin(), std::move(moving));
        target.expanded = true;
    } else {
        to.siblings->insert(to.siblings->begin() + qsizetype(to.index), std::move(moving));
    }
    return true;
}

int FolderOperations::fileRecordings(const QStringList& ids, const QString& folderKey)
{
    if (folderKey.isEmpty() || !node(folderKey) || !m_catalogue.folders().containsValue(FolderId, folderKey))
        throw TableError(QStringLiteral("There is no folder with the key \"%1\"").arg(folderKey));
    if (ids.isEmpty())
        return 0;
    Database& db = m_catalogue.database();
    sqlite::Statement update(db.connection(), QStringLiteral("UPDATE %1 SET FolderId = ? WHERE id IN (%2)")
                                                  .arg(m_catalogue.calls().qualifiedName(), placeholders(ids.size())));
    update.bind(1, folderKey);
    for (int i = 0; i < ids.size(); ++i)
        update.bind(i + 2, ids[i]);
    update.step();
    const int moved = int(sqlite3_changes(db.connection().handle()));
    m_catalogue.calls().refresh();
    return moved;
}

void FolderOperations::setExpanded(const QString& key, bool expanded)
{
    if (FolderNode* n = node(key))
        n->expanded = expanded;
}
