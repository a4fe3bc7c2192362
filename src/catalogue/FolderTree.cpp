#include "FolderTree.h"

namespace {

template <typename Node, typename Visit>
void walk(Node& nodes, int level, const Visit& visit)
{
    for (auto& node : nodes) {
        visit(node, level);
        walk(node.children, level + 1, visit);
    }
}

} // namespace

int FolderTree::nodeCount() const
{
    int count = 0;
    forEach([&](const FolderNode&, int) { ++count; });
    return count;
}

FolderNode& FolderTree::addTopLevel(const QString& text, const QString& folderKey)
{
    roots.push_back(FolderNode{text, folderKey, false, {}});
    return roots.back();
}

void FolderTree::forEach(const std::function<void(FolderNode&, int)>& visit)
{
    walk(roots, 0, visit);
}

void FolderTree::forEach(const std::function<void(const FolderNode&, int)>& visit) const
{
    walk(roots, 0, visit);
}

bool FolderTree::containsKey(const QString& folderKey) const
{
    bool found = false;
    forEach([&](const FolderNode& node, int) { found = found || node.folderKey == folderKey; });
    return found;
}

QStringList FolderTree::toLines() const
{
    QStringList lines;
    forEach([&](const FolderNode& node, int level) {
        lines.append(QString(level, QLatin1Char('\t')) + node.text);
    });
    return lines;
}

FolderTree FolderTree::fromLines(const QStringList& lines)
{
    FolderTree tree;
    // The path of the node added last: its ancestors and itself.
    std::vector<std::vector<FolderNode>*> levels{&tree.roots};
    for (const QString& line : lines) {
        int level = 0;
        while (level < line.size() && line.at(level) == QLatin1Char('\t'))
            ++level;
        const int depth = std::min<int>(level, int(levels.size()) - 1);
        levels.resize(size_t(depth) + 1);
        std::vector<FolderNode>& siblings = *levels.back();
        siblings.push_back(FolderNode{line.mid(level), QString(), false, {}});
        levels.push_back(&siblings.back().children);
    }
    return tree;
}
