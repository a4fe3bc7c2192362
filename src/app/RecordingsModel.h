#pragma once

#include "catalogue/RecordingList.h"

#include <QAbstractTableModel>
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
    void reload();
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

private:
    void guarded(const std::function<void()>& read);
    mutable RecordingList m_list;
    QString m_error;
    QFont m_font;
    QFont m_bold;
};
