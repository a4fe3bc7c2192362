#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The folder tree as plain data; the tree widget of the desktop program
// mirrors it. Each node carries the key of its Folders.d row.
struct FolderNode
{
    QString text;
    QString folderKey;
    bool expanded = false;
    std::vector<FolderNode> children;
};

struct FolderTree
{
    std::vector<FolderNode> roots;

    bool isEmpty() const { return roots.empty(); }
    void clear() { roots.clear(); }
    int nodeCount() const;
    FolderNode& addTopLevel(const QString& text, const QString& folderKey);
    // Every node in depth-first order (top to bottom when all are expanded),
    // with its level (0 for a top-level node).
    void forEach(const std::function<void(FolderNode& node, int level)>& visit);
    void forEach(const std::function<void(const FolderNode& node, int level)>& visit) const;
    bool containsKey(const QString& folderKey) const;

    // One line per node: one TAB per level, then the text.
    QStringList toLines() const;
    // The tree of such lines. A line more than one level deeper than the one
    // before it becomes a child of that one, so any text gives a tree.
    static FolderTree fromLines(const QStringList& lines);
};
