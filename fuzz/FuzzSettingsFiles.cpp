// vlm.ini and Tree.ini as a user or another program left them: every key of
// the settings table read, and the folder tree built.
#include "catalogue/FolderTree.h"
#include "catalogue/TreeFile.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

namespace {

QTemporaryDir* g_dir = nullptr;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!g_dir)
        g_dir = new QTemporaryDir(QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX"));
    const QString path = g_dir->filePath(QStringLiteral("vlm.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const IniFile ini(path);
    for (const settings::Key* key : settings::all())
        settings::effectiveText(ini, *key);
    FolderTree tree;
    LoadTreeFromIni(tree, ini);
    tree.nodeCount();
    return 0;
}
