#include "app/MoveDialog.h"

#include "app/FolderTreeWidget.h"
#include "catalogue/FolderTree.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace {

void addNodes(QTreeWidget* tree, QTreeWidgetItem* parent, const std::vector<FolderNode>& nodes, const QIcon& icon)
{
    for (const FolderNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, node.text);
        item->setIcon(0, icon);
        item->setData(0, FolderTreeWidget::KeyRole, node.folderKey);
        addNodes(tree, item, node.children, icon);
    }
}

} // namespace

MoveDialog::MoveDialog(const FolderTree& tree, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Move"));
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    addNodes(m_tree, nullptr, tree.roots, style()->standardIcon(QStyle::SP_DirClosedIcon));
    m_tree->expandAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Move the item(s) to the selected folder"), this));
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    resize(300, 360);
}

QString MoveDialog::selectedKey() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item && item->isSelected() ? item->data(0, FolderTreeWidget::KeyRole).toString() : QString();
}

QString MoveDialog::chooseFolder(const FolderTree& tree, QWidget* parent)
{
    MoveDialog dialog(tree, parent);
    if (parent)
        dialog.move(parent->geometry().center() - dialog.rect().center());
    return dialog.exec() == QDialog::Accepted ? dialog.selectedKey() : QString();
}
