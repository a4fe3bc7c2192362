#pragma once

#include "catalogue/FolderOperations.h"

#include <QTreeWidget>

class Catalogue;

// The folder tree pane: mirrors the catalogue's tree, edits names in place,
// moves folders by dragging and takes recordings dropped on a folder.
class FolderTreeWidget : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr int KeyRole = Qt::UserRole;
    static inline const QString DeleteQuestion = QStringLiteral(
        "Delete node? All of your files will be deleted \nAll of child nodes and files if existing will be also deleted");

    FolderTreeWidget(Catalogue& catalogue, QWidget* parent = nullptr);

    // Rebuilds the nodes from the catalogue's tree, selecting `key` (or the first node).
    void rebuild(const QString& key = QString());
    QString currentKey() const;
    bool selectKey(const QString& key);

    void addFolder(FolderOperations::Place place);
    void deleteFolder();
    void renameFolder();
    void expandCurrent(bool expand);

signals:
    void folderSelected(const QString& key);
    void treeChanged(); // Tree.ini is to be written when idle
    void recordingsDropped(const QStringList& ids, const QString& folderKey);
    void filesDropped(const QStringList& paths, const QString& folderKey); // audio files to add
    void problem(const QString& text);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void addItems(QTreeWidgetItem* parent, const std::vector<struct FolderNode>& nodes);
    void nameEdited(QTreeWidgetItem* item, int column);
    bool acceptsFolderDrop(QTreeWidgetItem* target) const;
    void updateIcons();

    Catalogue& m_catalogue;
    FolderOperations m_ops;
    bool m_building = false;
    QString m_dragKey;
};
