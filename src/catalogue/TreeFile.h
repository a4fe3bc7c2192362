#pragma once

#include "FolderTree.h"

#include <QString>
#include <optional>

class IniFile;

// Tree.ini: sections Tree, Folders and Expanded, keys Node0, Node1, ... in
// depth-first order. In section Tree a node's line has one "#" per level
// before its text.

// Erases the three sections and writes the tree. A "#", TAB or line break
// inside a node's text would change the tree's shape when it is read back,
// so such characters are written as "_" (folder names cannot get them:
// see folderNameError). Tree.ini is replaced in one step: a crash leaves
// the old tree or the new one. Returns false with *error set when the file
// could not be written.
bool SaveTreeToIni(const FolderTree& tree, IniFile& ini, QString* error = nullptr);

// The tree written by SaveTreeToIni; missing Folders or Expanded keys give
// an empty key and a collapsed node. A missing file gives an empty tree.
void LoadTreeFromIni(FolderTree& tree, const IniFile& ini);

// The tree file of an older release: one node per line, one TAB per level.
// Every node is expanded. Blank lines are skipped.
std::optional<FolderTree> loadLegacyTreeFile(const QString& path);

// Why a folder cannot have this name, or an empty text when it can. The
// tree file marks levels with "#" and keeps one line per node.
QString folderNameError(const QString& name);
