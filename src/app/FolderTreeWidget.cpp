#include "app/FolderTreeWidget.h"

#include "app/RecordingsModel.h"
#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QStyle>

FolderTreeWidget::FolderTreeWidget(Catalogue& catalogue, QWidget* parent)
    : QTreeWidget(parent), m_catalogue(catalogue), m_ops(catalogue)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        updateIcons();
        if (item && !m_building)
            emit folderSelected(item->data(0, KeyRole).toString());
    });
    connect(this, &QTreeWidget::itemChanged, this, &FolderTreeWidget::nameEdited);
    auto expanded = [this](QTreeWidgetItem* item, bool on) {
        if (m_building)
            return;
        m_ops.setExpanded(item->data(0, KeyRole).toString(), on);
        emit treeChanged();
    };
    connect(this, &QTreeWidget::itemExpanded, this, [expanded](QTreeWidgetItem* i) { expanded(i, true); });
    connect(this, &QTreeWidget::itemCollapsed, this, [expanded](QTreeWidgetItem* i) { expanded(i, false); });
}

void FolderTreeWidget::addItems(QTreeWidgetItem* parent, const std::vector<FolderNode>& nodes)
{
    for (const FolderNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, node.text);
        item->setData(0, KeyRole, node.folderKey);
        item->setFlags(item->flags() | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        addItems(item, node.children);
        item->setExpanded(node.expanded);
    }
}

void FolderTreeWidget::rebuild(const QString& key)
{
    m_building = true;
    clear();
    addItems(nullptr, m_catalogue.tree().roots);
    m_building = false;
    if (!selectKey(key) && topLevelItemCount() > 0)
        setCurrentItem(topLevelItem(0));
    updateIcons();
}

QString FolderTreeWidget::currentKey() const
{
    return currentItem() ? currentItem()->data(0, KeyRole).toString() : QString();
}

bool FolderTreeWidget::selectKey(const QString& key)
{
    if (key.isEmpty())
        return false;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->data(0, KeyRole).toString() == key) {
            setCurrentItem(*it);
            return true;
        }
    return false;
}

void FolderTreeWidget::updateIcons()
{
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const bool building = m_building;
    m_building = true; // an icon is an item change, not an edit
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        (*it)->setIcon(0, *it == currentItem() ? open : closed);
    m_building = building;
}

void FolderTreeWidget::addFolder(FolderOperations::Place place)
{
    try {
        const QString key = m_ops.add(currentKey(), place);
        rebuild(key);
        emit treeChanged();
        if (QTreeWidgetItem* item = currentItem()) {
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            editItem(item, 0);
        }
    } catch (const TableError& e) {
        emit problem(e.message());
    }
}

void FolderTreeWidget::renameFolder()
{
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    if (item->text(0) == Catalogue::GeneralFolderName) {
        emit problem(QStringLiteral("General folder can not be renamed"));
        return;
    }
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    editItem(item, 0);
}

void FolderTreeWidget::nameEdited(QTreeWidgetItem* item, int)
{
    if (m_building || !item)
        return;
    const QString key = item->data(0, KeyRole).toString();
    if (item->text(0) == m_ops.folderName(key))
        return;
    QString error;
    try {
        m_ops.rename(key, item->text(0));
    } catch (const TableError& e) {
        error = e.message();
    }
    // Later: the editor that reported the change still holds the item.
    QMetaObject::invokeMethod(this, [this, key, error] {
        rebuild(key); // a refused name goes back to the stored one
        emit treeChanged();
        if (!error.isEmpty())
            emit problem(error);
    }, Qt::QueuedConnection);
}

void FolderTreeWidget::deleteFolder()
{
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    if (item->text(0) == Catalogue::GeneralFolderName) {
        emit problem(QStringLiteral("General folder can not be deleted"));
        return;
    }
    if (QMessageBox::question(this, QStringLiteral("Velmora"), DeleteQuestion, QMessageBox::Ok | QMessageBox::Cancel)
        != QMessageBox::Ok)
        return;
    const QString key = item->data(0, KeyRole).toString();
    QTreeWidgetItem* next = itemAbove(item);
    const QString nextKey = next ? next->data(0, KeyRole).toString() : QString();
    try {
        m_ops.remove(key);
        m_catalogue.saveTree();
    } catch (const TableError& e) {
        emit problem(e.message());
    }
    rebuild(nextKey);
    emit folderSelected(currentKey());
}

void FolderTreeWidget::expandCurrent(bool expand)
{
    if (QTreeWidgetItem* item = currentItem())
        item->setExpanded(expand);
}

void FolderTreeWidget::mousePressEvent(QMouseEvent* event)
{
    // Any press ends the editable state an add or rename left.
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        (*it)->setFlags((*it)->flags() & ~Qt::ItemIsEditable);
    QTreeWidget::mousePressEvent(event);
    if (QTreeWidgetItem* item = currentItem())
        m_dragKey = item->data(0, KeyRole).toString();
}

bool FolderTreeWidget::acceptsFolderDrop(QTreeWidgetItem* target) const
{
    if (!target || m_dragKey.isEmpty() || m_ops.isFirstNode(m_dragKey))
        return false;
    for (QTreeWidgetItem* up = target; up; up = up->parent())
        if (up->data(0, KeyRole).toString() == m_dragKey)
            return false;
    return true;
}

void FolderTreeWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(RecordingsModel::IdsMimeType) || event->source() == this
        || event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FolderTreeWidget::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    const bool recordings = event->mimeData()->hasFormat(RecordingsModel::IdsMimeType) || event->mimeData()->hasUrls();
    if ((recordings && target) || (event->source() == this && acceptsFolderDrop(target)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void FolderTreeWidget::dropEvent(QDropEvent* event)
{
    const QPoint at = event->position().toPoint();
    QTreeWidgetItem* target = itemAt(at);
    if (!target) {
        event->ignore();
        return;
    }
    const QString targetKey = target->data(0, KeyRole).toString();
    if (event->mimeData()->hasFormat(RecordingsModel::IdsMimeType)) {
        const QStringList ids = QString::fromUtf8(event->mimeData()->data(RecordingsModel::IdsMimeType))
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        event->acceptProposedAction();
        emit recordingsDropped(ids, targetKey);
        return;
    }
    if (event->mimeData()->hasUrls() && event->source() != this) {
        QStringList paths;
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit filesDropped(paths, targetKey);
        return;
    }
    event->setDropAction(Qt::IgnoreAction); // the tree is rebuilt from the catalogue, not moved by Qt
    event->accept();
    if (event->source() != this || !acceptsFolderDrop(target))
        return;
    // Left of the text: before the target; on it: its first child.
    const QRect text = visualItemRect(target);
    const int textLeft = text.left() + iconSize().width() + 4;
    const bool asChild = at.x() >= textLeft;
    if (m_ops.move(m_dragKey, targetKey, asChild)) {
        rebuild(m_dragKey);
        emit treeChanged();
    }
}
