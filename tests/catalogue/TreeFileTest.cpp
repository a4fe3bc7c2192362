#include "CatalogueTestSupport.h"

#include "catalogue/TreeFile.h"
#include "config/IniFile.h"

namespace {

using TreeFileTest = DataFolderTest;

FolderNode node(const QString& text, const QString& key, bool expanded, std::vector<FolderNode> children = {})
{
    return FolderNode{text, key, expanded, std::move(children)};
}

QStringList sectionValues(const IniFile& ini, const QString& section)
{
    QStringList values;
    for (const QString& key : ini.readSection(section))
        values.append(key + "=" + ini.readString(section, key, QString()));
    return values;
}

TEST_F(TreeFileTest, ExampleTreeIsWrittenInDepthFirstOrderAndReadBack)
{
    FolderTree tree;
    tree.roots.push_back(node("General", "KG", true,
                              {node("A", "KA", true, {node("C", "KC", false)}), node("B", "KB", false)}));
    IniFile ini(path("Tree.ini"));
    ini.writeString("Tree", "Node9", "stale");
    ini.writeString("Other", "Keep", "1");
    ASSERT_TRUE(SaveTreeToIni(tree, ini));

    EXPECT_EQ(sectionValues(ini, "Tree"), QStringList({"Node0=General", "Node1=#A", "Node2=##C", "Node3=#B"}));
    EXPECT_EQ(sectionValues(ini, "Folders"), QStringList({"Node0=KG", "Node1=KA", "Node2=KC", "Node3=KB"}));
    EXPECT_EQ(sectionValues(ini, "Expanded"), QStringList({"Node0=1", "Node1=1", "Node2=0", "Node3=0"}));
    EXPECT_EQ(ini.readString("Other", "Keep", QString()), "1");

    FolderTree loaded;
    LoadTreeFromIni(loaded, IniFile(path("Tree.ini")));
    EXPECT_EQ(loaded.toLines(), tree.toLines());
    QStringList keys;
    QStringList expanded;
    loaded.forEach([&](const FolderNode& n, int) {
        keys.append(n.folderKey);
        expanded.append(n.expanded ? "1" : "0");
    });
    EXPECT_EQ(keys, QStringList({"KG", "KA", "KC", "KB"}));
    EXPECT_EQ(expanded, QStringList({"1", "1", "0", "0"}));

    // An empty tree erases the sections.
    ASSERT_TRUE(SaveTreeToIni(FolderTree(), ini));
    EXPECT_FALSE(ini.sectionExists("Tree"));
    EXPECT_FALSE(ini.sectionExists("Folders"));
}

TEST_F(TreeFileTest, HandEditedFileStillGivesATree)
{
    IniFile ini(path("Tree.ini"));
    // Keys in file order, not by number; a level jump; missing keys.
    ini.writeString("Tree", "Node0", "Top");
    ini.writeString("Tree", "Node2", "###Deep");
    ini.writeString("Tree", "Node1", "Second");
    ini.writeString("Folders", "Node0", "K0");
    ini.writeString("Folders", " NODE1 ", "K1"); // keys match in any spelling
    ini.writeString("Expanded", "Node0", "yes");
    ini.writeString("Expanded", "Node1", "1");
    FolderTree tree;
    LoadTreeFromIni(tree, ini);
    EXPECT_EQ(tree.toLines(), QStringList({"Top", "\tDeep", "Second"}));
    EXPECT_EQ(tree.roots[0].folderKey, "K0");
    EXPECT_FALSE(tree.roots[0].expanded); // only "1" expands
    EXPECT_EQ(tree.roots[0].children[0].folderKey, "K1");
    EXPECT_EQ(tree.roots[1].folderKey, "");
    EXPECT_TRUE(tree.roots[0].children[0].expanded); // the second node in depth-first order

    FolderTree none;
    none.addTopLevel("x", "y");
    LoadTreeFromIni(none, IniFile(path("missing.ini")));
    EXPECT_TRUE(none.isEmpty());
}

TEST_F(TreeFileTest, FolderNamesThatWouldBreakTheFileAreRefusedAndNeverChangeTheShape)
{
    EXPECT_FALSE(folderNameError("Project #1").isEmpty());
    EXPECT_FALSE(folderNameError("a\tb").isEmpty());
    EXPECT_FALSE(folderNameError("two\nlines").isEmpty());
    EXPECT_TRUE(folderNameError("Clients 2009").isEmpty());

    // A name that reached the tree another way (an old tree file) keeps its level.
    FolderTree tree;
    tree.roots.push_back(node("General", "KG", false, {node("#1 client", "K1", false)}));
    tree.addTopLevel("x\ty", "K2");
    IniFile ini(path("Tree.ini"));
    ASSERT_TRUE(SaveTreeToIni(tree, ini));
    FolderTree loaded;
    LoadTreeFromIni(loaded, ini);
    EXPECT_EQ(loaded.toLines(), QStringList({"General", "\t_1 client", "x_y"}));
}

TEST_F(TreeFileTest, LegacyTreeFileBuildsAnExpandedTree)
{
    QFile file(path("tree.d"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("General\n\tCaf\xe9\n\t\tOld\n\nOther\n"); // Latin-1, as the old release wrote it
    file.close();
    const auto tree = loadLegacyTreeFile(path("tree.d"));
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->toLines(), QStringList({"General", "\tCaf\u00e9", "\t\tOld", "Other"}));
    bool allExpanded = true;
    tree->forEach([&](const FolderNode& n, int) { allExpanded = allExpanded && n.expanded; });
    EXPECT_TRUE(allExpanded);
    EXPECT_FALSE(loadLegacyTreeFile(path("absent.d")));
}

} // namespace
