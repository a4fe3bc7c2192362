#pragma once

#include "Database.h"
#include "FolderTree.h"
#include "Table.h"

#include "config/IniFile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What the main window knows about the recording that has just ended; the
// caller fills it and AddRecordingRow reads it.
struct RecordingSession
{
    QDateTime startTime;          // RecordStartTime
    qint64 seconds = 0;           // RecordSeconds
    QString callerNumber;         // CallerNumber, empty without caller ID
    QString callerName;           // CallerName
    bool answeredByMachine = false;
    QString recordedFile;         // empty: Recorded.wav in the recordings folder
    QDateTime savedAt;            // when the row is added; now when invalid
    QString fileName;             // the row's fileName; empty: the naming scheme's
    // What the row says when it is not the usual (a message that holds no
    // message: "Missed call", heard).
    std::optional<QString> comment;
    std::optional<bool> heard;
};

// A call that left no recording (a blocked caller): its row holds the time,
// the number and what happened, and no file.
struct CallNote
{
    QDateTime when;
    QString callerNumber;
    QString comment;
};

// A row of the new-messages query, as remote access reads it.
struct NewMessage
{
    QString id;
    QDate date;
    QTime time;
    QString callerId;
    QString fileName;
};

// The recordings catalogue: Recordings.d (CallsTbl) as the detail of
// Folders.d (FoldersTbl) on FolderId, the folder tree and Tree.ini, all in
// one data folder. Errors raise TableError with the text to show.
class Catalogue
{
public:
    static inline const QString RecordedFileName = QStringLiteral("Recorded.wav");
    static inline const QString GeneralFolderName = QStringLiteral("General");
    static inline const QString NewMessagesSql = QStringLiteral("SELECT * FROM recordings WHERE accessed=false");

    // The recordings folder ends with "/" (see datafolder::recordingsFolder).
    Catalogue(const QString& dataFolder, const QString& recordingsFolder);
    ~Catalogue();
    // The catalogue of this process's data folder (see datafolder::prepare;
    // overrideDir is --data-dir), opened.
    static std::unique_ptr<Catalogue> openInDataFolder(const QString& overrideDir);
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Opens or creates the tables, converts an old-format Recordings.d,
    // loads the tree and sets RecordFolderId. A table file that cannot be
    // read is reported and left exactly as it is.
    void OpenCatalogue();
    bool isOpen() const { return m_calls.isOpen() && m_folders.isOpen(); }
    // Recordings.d holds the search index (see SearchIndex.h).
    bool searchIndexed() const { return m_searchIndexed; }
    // Remarks of the last OpenCatalogue for the event log (a conversion).
    const QStringList& openNotes() const { return m_notes; }
    // Called during long work (the conversion) with rows done and total.
    std::function<void(int done, int total)> progress;

    const QString& dataFolder() const { return m_dataFolder; }
    const QString& recordingsFolder() const { return m_recordingsFolder; }
    // The path of a file a table names in the recordings folder; empty
    // unless the name is a plain name there (see isPlainFileName).
    QString recordingPath(const QString& name) const;
    Database& database() { return m_db; }
    Table& calls() { return m_calls; }     // CallsTbl
    Table& folders() { return m_folders; } // FoldersTbl
    FolderTree& tree() { return m_tree; }
    const QString& recordFolderId() const { return m_recordFolderId; }
    const QString& lastFileName() const { return m_lastFileName; }

    // The rows of every folder not heard yet (the new-messages query).
    int newMessageCount();
    std::vector<NewMessage> newMessages();
    // Marks the row with this id heard, whichever folder it is in; false
    // when no row has it. Raises TableError when it cannot be stored.
    bool markHeard(const QString& id);

    // Appends the row of the recording that has just ended and returns its
    // fileName. Fails, storing nothing, when the recorded file cannot be
    // opened to measure its size.
    QString AddRecordingRow(const RecordingSession& session);
    // Files a call without audio in the folder of this name, made (at the top
    // of the tree) when there is none; heard, so it is never a new message.
    void addCallNote(const QString& folderName, const CallNote& note);

    // The naming scheme's fileName for a recording started at `start` and
    // saved at `savedAt` (the date of the day it is saved), with "_2", "_3",
    // ... added when a file of that name is in the recordings folder, so two
    // recordings of the same second both keep their audio.
    QString freeRecordingName(const QDateTime& savedAt, const QDateTime& start) const;

    // Of the current CallsTbl row: the file name stem built from Channel,
    // DateS and TimeS; empty when the row has no valid date or time.
    QString RecordingFileName();
    // Renames "<id>.wav" to the current naming scheme, within the recordings
    // folder; failures are ignored.
    void RenameLegacyFile();
    // The path of the current row's WAV file, or an empty text when its
    // fileName is not a plain file name (it is never used as a path then).
    QString recordingFilePath();

    // Tree.ini in the data folder.
    IniFile& treeIni() { return m_treeIni; }
    // SaveTreeToIni on Tree.ini; raises TableError when it cannot be written.
    void saveTree();

private:
    void openRecordings();
    void openFolders();
    void requireFields(Table& table, const FieldDefs& fields);
    void ConvertOldRecordingsTable();
    void loadTree();
    void importLegacyTree(const QString& path);
    bool addMissingFolders();
    void deleteRecordingFile(Table& calls);
    QString folderNamed(const QString& name);

    QString m_dataFolder;
    QString m_recordingsFolder;
    Database m_db;
    Table m_folders;
    Table m_calls;
    FolderTree m_tree;
    IniFile m_treeIni;
    QString m_recordFolderId;
    QString m_lastFileName;
    QStringList m_notes;
    bool m_searchIndexed = false;
};
