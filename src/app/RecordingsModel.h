#pragma once

#include "catalogue/RecordingList.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>

class Catalogue;

// The recordings of the selected folder for the grid: Date, Time, Duration,
// Caller ID and Memo; unheard rows bold. Rows are read as they are shown.
class RecordingsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { DateColumn, TimeColumn, DurationColumn, CallerColumn, MemoColumn, ColumnCount };
    static inline const QString IdsMimeType = QStringLiteral("application/x-velmora-recording-ids");

    explicit RecordingsModel(Catalogue& catalogue, QObject* parent = nullptr);

    // Errors reading the table end in an empty list and lastError().
    void showFolder(const QString& folderKey);
    // Non-empty: every folder's rows that hold the text, instead of the folder's.
    void showSearch(const QString& text);
    const QString& search() const { return m_list.search(); }
    void reload();

    // The rows the user marked, in the order marked (SelectedIds).
    const QStringList& markedIds() const { return m_marked; }
    bool isMarked(const QString& id) const { return m_marked.contains(id); }
    void toggleMark(int row);
    void markAll();
    void clearMarks();
    void setMarkColor(const QColor& color) { m_markColor = color; }
    const QString& folder() const { return m_list.folder(); }
    const RecordingRow& recording(int row) { return m_list.row(row); }
    int rowOfId(const QString& id) { return m_list.indexOfId(id); }
    const QString& lastError() const { return m_error; }
    void setFont(const QFont& font);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    QMimeData* mimeDataOf(const QStringList& ids) const;

private:
    void guarded(const std::function<void()>& read);
    void marksChanged();
    mutable RecordingList m_list;
    QString m_recordingsFolder;
    QStringList m_marked;
    QColor m_markColor;
    QString m_error;
    QFont m_font;
    QFont m_bold;
};
