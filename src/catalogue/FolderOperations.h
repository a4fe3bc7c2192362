#pragma once

#include <QString>
#include <QStringList>

class Catalogue;
struct FolderNode;

// What the folder tree does to the catalogue: folders added, renamed,
// deleted with their recordings, rearranged, and recordings filed in them.
// The tree in memory changes with Folders.d; Tree.ini is the caller's to
// save (when idle). Refusals and storage errors raise TableError with the
// text to show.
class FolderOperations
{
public:
    static inline const QString NewFolderName = QStringLiteral("New folder");
    enum class Place { LastSibling, LastChild, Before };

    explicit FolderOperations(Catalogue& catalogue) : m_catalogue(catalogue) {}

    // Why a name cannot be a folder's name; empty when it can. A "#" would
    // split the line in Tree.ini, TAB and line breaks the tree's text form.
    static QString nameProblem(const QString& name);

    // A new folder "New folder" placed against the node of `atKey` (at the
    // end of the top level when there is none); its key.
    QString add(const QString& atKey, Place place);
    void rename(const QString& key, const QString& name);
    // The folder, its subfolders and every recording filed in any of them:
    // rows first, in one transaction, then the files, then the nodes. A key
    // that no node or row has touches nothing. The number of recordings.
    int remove(const QString& key);
    // The node with its subtree before `targetKey`, or as its first child.
    // False (nothing changed) onto the first node, itself or a descendant.
    bool move(const QString& key, const QString& targetKey, bool asChild);
    // Files the recordings with these ids in the folder; the number moved.
    // An empty or unknown folder key is refused: the rows would vanish from
    // every folder.
    int fileRecordings(const QStringList& ids, const QString& folderKey);
    void setExpanded(const QString& key, bool expanded);

    bool isFirstNode(const QString& key) const;
    bool isGeneral(const QString& key) const;
    QString folderName(const QString& key) const;

private:
    FolderNode* node(const QString& key) const;
    void addFolderRow(const QString& key);

    Catalogue& m_catalogue;
};
