#include "Catalogue.h"

#include "CatalogueSchema.h"
#include "DataFolder.h"
#include "Query.h"
#include "RecordingNames.h"
#include "RecordingPage.h"
#include "SearchIndex.h"
#include "TableError.h"
#include "TableFiles.h"
#include "TreeFile.h"

#include <QFile>
#include <QFileInfo>
#include <limits>

namespace {

const QString LegacyTreeFile = QStringLiteral("tree.d");
const QString TreeIniFile = QStringLiteral("Tree.ini");

} // namespace

Catalogue::Catalogue(const QString& dataFolder, const QString& recordingsFolder)
    : m_dataFolder(dataFolder),
      m_recordingsFolder(recordingsFolder),
      m_db(dataFolder),
      m_folders(m_db, schema::FoldersTable),
      m_calls(m_db, schema::RecordingsTable),
      m_treeIni(dataFolder + QLatin1Char('/') + TreeIniFile)
{
    if (!m_recordingsFolder.endsWith(QLatin1Char('/')))
        m_recordingsFolder += QLatin1Char('/');
    m_db.setDateFormat(QStringLiteral("mm/dd/yyyy"));
    m_calls.setIndexedFields(schema::recordingsIndexes());
    m_folders.setIndexedFields(schema::foldersIndexes());
    m_calls.beforeDelete = [this](Table& calls) { deleteRecordingFile(calls); };
    m_calls.afterDelete = [](Table& calls) { calls.commit(); };
    m_folders.afterDelete = [](Table& folders) { folders.commit(); };
}

Catalogue::~Catalogue() = default;

std::unique_ptr<Catalogue> Catalogue::openInDataFolder(const QString& overrideDir)
{
    QString error;
    const QString folder = datafolder::prepare(overrideDir, &error);
    if (folder.isEmpty())
        throw TableError(error);
    auto catalogue = std::make_unique<Catalogue>(folder, datafolder::recordingsFolder(folder));
    catalogue->OpenCatalogue();
    return catalogue;
}

void Catalogue::OpenCatalogue()
{
    m_notes.clear();
    m_tree.clear();
    m_calls.close();
    m_folders.close();
    openRecordings();
    openFolders();
    // The tree may walk the folders; linked afterwards, the recordings are
    // read once, for the first folder.
    loadTree();
    m_calls.setMasterLink(&m_folders, QStringLiteral("FolderId"), QStringLiteral("FolderId"));
    m_calls.first();
}

void Catalogue::openRecordings()
{
    m_calls.setMasterLink(nullptr, QString(), QString());
    if (!m_db.tableFileExists(schema::RecordingsTable)) {
        createTableFile(m_calls, schema::recordingsFields(), nullptr);
    } else {
        m_calls.setLoadMode(Table::LoadMode::File);
        m_calls.open();
        if (m_calls.fieldCount() == schema::OldRecordingsFieldCount) {
            m_calls.close();
            ConvertOldRecordingsTable();
            m_calls.open();
        }
        requireFields(m_calls, schema::recordingsFields());
        m_calls.createIndexes(); // a file of an older build may lack them
    }
    m_searchIndexed = searchindex::ensure(m_db, m_calls.attachment()); // likewise
    ensurePageIndexes(m_db, m_calls.attachment());
}

void Catalogue::openFolders()
{
    auto addGeneral = [](Table& folders) {
        folders.append();
        folders.field(QStringLiteral("FolderId")).setText(folders.newUniqueKey(QStringLiteral("FolderId")));
        folders.field(QStringLiteral("FolderName")).setText(GeneralFolderName);
        folders.post();
        folders.commit();
    };
    if (m_db.tableFileExists(schema::FoldersTable)) {
        m_folders.setLoadMode(Table::LoadMode::File);
        m_folders.open();
        requireFields(m_folders, schema::foldersFields());
        m_folders.createIndexes();
        // Without a first folder every new recording would be filed nowhere.
        if (m_folders.rowCount() == 0)
            addGeneral(m_folders);
    } else {
        createTableFile(m_folders, schema::foldersFields(), addGeneral);
        m_folders.first();
        m_tree.addTopLevel(GeneralFolderName, m_folders.field(QStringLiteral("FolderId")).asText());
    }
    m_folders.first();
    m_recordFolderId = m_folders.field(QStringLiteral("FolderId")).asText();
}

void Catalogue::requireFields(Table& table, const FieldDefs& fields)
{
    for (const FieldDef& def : fields) {
        if (table.fieldIndex(def.name) < 0) {
            const QString path = m_db.tableFilePath(table.tableName());
            table.close();
            throw TableError(QStringLiteral("%1: the table has no field '%2'").arg(path, def.name));
        }
    }
}

// --- recordings ------------------------------------------------------------

QString Catalogue::AddRecordingRow(const RecordingSession& session)
{
    const QString recorded =
        session.recordedFile.isEmpty() ? m_recordingsFolder + RecordedFileName : session.recordedFile;
    QFile file(recorded);
    if (!file.open(QIODevice::ReadOnly))
        throw TableError(QStringLiteral("Cannot open %1: %2").arg(recorded, file.errorString()));
    const qint64 size = std::min<qint64>(file.size(), std::numeric_limits<int>::max());
    file.close();

    const QDateTime savedAt = session.savedAt.isValid() ? session.savedAt : QDateTime::currentDateTime();
    const QDate dateS = savedAt.date();
    const QTime started = session.startTime.time();
    const QTime timeS(started.hour(), started.minute(), started.second());
    const QString fileName =
        session.fileName.isEmpty() ? ::RecordingFileName(1, dateS, timeS) + QStringLiteral(".wav") : session.fileName;

    const int remembered = m_calls.recNo();
    m_calls.disableControls();
    try {
        const QString id = m_calls.newUniqueKey(QStringLiteral("id"));
        m_calls.append();
        auto set = [this](const char* name, const QVariant& value) {
            m_calls.field(QLatin1String(name)).setVariant(value);
        };
        set("id", id);
        set("Channel", 1);
        set("FolderId", m_recordFolderId);
        set("DateS", dateS);
        set("TimeS", timeS);
        set("Duration", DurationText(session.seconds));
        set("Comment", session.comment.value_or(session.callerName));
        set("dtmf", QString());
        set("callerID", session.callerNumber);
        set("fileName", fileName);
        set("fileSize", int(size));
        set("accessed", session.heard.value_or(!session.answeredByMachine));
        clearSpareFields(m_calls);
        m_calls.post();
        m_calls.commit();
    } catch (const TableError&) {
        m_calls.cancel();
        m_calls.enableControls();
        throw;
    }
    m_calls.refresh();
    m_calls.enableControls();
    if (remembered > 0)
        m_calls.setRecNo(remembered);
    m_lastFileName = fileName;
    return fileName;
}

int Catalogue::newMessageCount()
{
    Query query(m_db, NewMessagesSql);
    query.open();
    return query.rowCount();
}

std::vector<NewMessage> Catalogue::newMessages()
{
    Query query(m_db, NewMessagesSql);
    query.open();
    std::vector<NewMessage> rows;
    for (query.first(); !query.eof(); query.next())
        rows.push_back({query.field(QStringLiteral("id")).asText(),
                        query.field(QStringLiteral("DateS")).asDateTime().date(),
                        query.field(QStringLiteral("TimeS")).asDateTime().time(),
                        query.field(QStringLiteral("callerID")).asText(),
                        query.field(QStringLiteral("fileName")).asText()});
    return rows;
}

bool Catalogue::markHeard(const QString& id)
{
    // A table of its own: the shared cursor shows one folder only.
    Table all(m_db, schema::RecordingsTable);
    all.open();
    if (!all.locate(QStringLiteral("id"), id))
        return false;
    all.edit();
    all.field(QStringLiteral("accessed")).setBool(true);
    all.post();
    all.commit();
    all.close();
    m_calls.refresh();
    return true;
}

QString Catalogue::freeRecordingName(const QDateTime& savedAt, const QDateTime& start) const
{
    const QTime started = start.time();
    const QString stem =
        ::RecordingFileName(1, savedAt.date(), QTime(started.hour(), started.minute(), started.second()));
    QString name = stem + QStringLiteral(".wav");
    for (int n = 2; QFile::exists(m_recordingsFolder + name); ++n)
        name = QStringLiteral("%1_%2.wav").arg(stem).arg(n);
    return name;
}

QString Catalogue::RecordingFileName()
{
    const QDate date = m_calls.field(QStringLiteral("DateS")).asVariant().toDate();
    const QTime time = m_calls.field(QStringLiteral("TimeS")).asVariant().toTime();
    if (!date.isValid() || !time.isValid())
        return {};
    return ::RecordingFileName(m_calls.field(QStringLiteral("Channel")).asInteger(), date, time);
}

void Catalogue::RenameLegacyFile()
{
    const QString id = m_calls.field(QStringLiteral("id")).asText();
    if (!isPlainFileName(id))
        return;
    const QString legacy = m_recordingsFolder + id + QStringLiteral(".wav");
    if (!QFileInfo::exists(legacy))
        return;
    const QString stem = RecordingFileName();
    if (stem.isEmpty())
        return;
    // QFile::rename never replaces an existing file.
    QFile::rename(legacy, m_recordingsFolder + stem + QStringLiteral(".wav"));
}

QString Catalogue::recordingPath(const QString& name) const
{
    return isPlainFileName(name) ? m_recordingsFolder + name : QString();
}

QString Catalogue::recordingFilePath()
{
    return recordingPath(m_calls.field(QStringLiteral("fileName")).asText());
}

void Catalogue::deleteRecordingFile(Table&)
{
    RenameLegacyFile();
    const QString path = recordingFilePath();
    if (!path.isEmpty())
        QFile::remove(path);
}

// --- tree --------------------------------------------------------------------

void Catalogue::saveTree()
{
    QString error;
    if (!SaveTreeToIni(m_tree, m_treeIni, &error))
        throw TableError(error);
}

void Catalogue::loadTree()
{
    bool changed = false;
    const QString legacy = m_dataFolder + QLatin1Char('/') + LegacyTreeFile;
    if (QFileInfo(legacy).isFile()) {
        importLegacyTree(legacy);
        changed = true;
    } else if (QFileInfo::exists(m_treeIni.fileName())) {
        LoadTreeFromIni(m_tree, m_treeIni);
    } else {
        changed = true; // a new tree, or Tree.ini lost: write it now
    }
    changed = addMissingFolders() || changed;
    if (changed)
        saveTree();
    // The old tree goes only once its content is safe in Tree.ini.
    if (QFileInfo(legacy).isFile())
        QFile::remove(legacy);
}

// Each node gets the key of the folder of the same name. A node whose name
// no folder has gets a new folder of its own, so no node shows, or deletes,
// another folder's recordings.
void Catalogue::importLegacyTree(const QString& path)
{
    const auto legacy = loadLegacyTreeFile(path);
    if (!legacy)
        throw TableError(QStringLiteral("Cannot read %1").arg(path));
    m_tree = *legacy;
    m_tree.forEach([this](FolderNode& node, int) {
        if (!m_folders.locate(QStringLiteral("FolderName"), node.text)) {
            m_folders.append();
            m_folders.field(QStringLiteral("FolderId")).setText(m_folders.newUniqueKey(QStringLiteral("FolderId")));
            m_folders.field(QStringLiteral("FolderName")).setText(node.text);
            m_folders.post();
            m_folders.commit();
        }
        node.folderKey = m_folders.field(QStringLiteral("FolderId")).asText();
    });
    m_folders.first();
}

// A folder whose node is missing from the tree (Tree.ini lost, or not yet
// written when the program ended) would hide its recordings: it gets a
// top-level node.
bool Catalogue::addMissingFolders()
{
    bool added = false;
    for (m_folders.first(); !m_folders.eof(); m_folders.next()) {
        const QString key = m_folders.field(QStringLiteral("FolderId")).asText();
        if (!m_tree.containsKey(key)) {
            m_tree.addTopLevel(m_folders.field(QStringLiteral("FolderName")).asText(), key);
            added = true;
        }
    }
    m_folders.first();
    return added;
}
