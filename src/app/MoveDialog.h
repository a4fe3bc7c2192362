#pragma once

#include <QDialog>
#include <QTreeWidget>

struct FolderTree;

// "Move": the folder tree, fully expanded; the chosen folder's key.
class MoveDialog : public QDialog
{
    Q_OBJECT
public:
    MoveDialog(const FolderTree& tree, QWidget* parent = nullptr);
    // The key of the folder chosen with OK; empty after Cancel or with none selected.
    static QString chooseFolder(const FolderTree& tree, QWidget* parent);
    QString selectedKey() const;
    QTreeWidget* tree() const { return m_tree; }

private:
    QTreeWidget* m_tree;
};
