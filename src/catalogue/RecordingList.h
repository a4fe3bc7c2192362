#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <unordered_map>
#include <vector>

class Catalogue;
namespace sqlite {
class Statement;
}

// A Recordings.d row as the recordings list shows it.
struct RecordingRow
{
    qint64 rowid = 0;
    QString id;
    QDate date;
    QTime time;
    QString duration;
    QString callerId;
    QString comment;
    QString fileName;
    qint64 fileSize = 0;
    bool accessed = true;

    // The columns `read` takes, in its order, for a SELECT on Recordings.d.
    static inline const QString Columns = QStringLiteral(
        "rowid, id, DateS, TimeS, Duration, callerID, Comment, fileName, fileSize, accessed");
    static RecordingRow read(const sqlite::Statement& statement);
};

// The recordings of one folder for a list view, read on its own statements:
// the row order once per folder or sort, the rows themselves in blocks as
// they are shown, so a folder of 100,000 recordings opens at once and the
// shared cursor of the catalogue (which posts pending edits) is never moved.
class RecordingList
{
public:
    enum class Column { Date, Time, Duration, CallerId, Comment };

    explicit RecordingList(Catalogue& catalogue) : m_catalogue(catalogue) {}

    // Raise TableError when the table cannot be read. A folder ends a search.
    void setFolder(const QString& folderKey);
    void setOrder(Column column, bool descending);
    // Non-empty: the rows of every folder whose number, name or comment
    // holds the text (any letter case) instead of the folder's.
    void setSearch(const QString& text);
    const QString& search() const { return m_search; }
    void reload();

    const QString& folder() const { return m_folder; }
    int count() const { return int(m_rowids.size()); }
    // The row at a position, 0 <= index < count().
    const RecordingRow& row(int index);
    int indexOfId(const QString& id);

private:
    void fetchBlock(int index);

    static constexpr int BlockRows = 128;
    Catalogue& m_catalogue;
    QString m_folder;
    QString m_search;
    Column m_column = Column::Date;
    bool m_descending = true;
    std::vector<qint64> m_rowids;
    std::unordered_map<qint64, RecordingRow> m_rows; // by rowid, the blocks read so far
    RecordingRow m_missing;
};
