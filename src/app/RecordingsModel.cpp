#include "app/RecordingsModel.h"

#include "catalogue/TableError.h"

#include <QLocale>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include "catalogue/Catalogue.h"
#include "catalogue/RecordingNames.h"
#include <QSet>

RecordingsModel::RecordingsModel(Catalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), m_list(catalogue), m_recordingsFolder(catalogue.recordingsFolder())
{
}

void RecordingsModel::showSearch(const QString& text)
{
    clearMarks();
    guarded([&] { m_list.setSearch(text); });
}

void RecordingsModel::marksChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::BackgroundRole});
}

void RecordingsModel::toggleMark(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const QString id = m_list.row(row).id;
    if (!m_marked.removeOne(id))
        m_marked << id;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::BackgroundRole});
}

void RecordingsModel::markAll()
{
    for (int row = 0; row < rowCount(); ++row) {
        const QString id = m_list.row(row).id;
        if (!m_marked.contains(id))
            m_marked << id;
    }
    marksChanged();
}

void RecordingsModel::clearMarks()
{
    if (m_marked.isEmpty())
        return;
    m_marked.clear();
    marksChanged();
}

void RecordingsModel::guarded(const std::function<void()>& read)
{
    beginResetModel();
    m_error.clear();
    try {
        read();
    } catch (const TableError& e) {
        m_error = e.message();
        try {
            m_list.setFolder(QString());
        } catch (const TableError&) {
        }
    }
    endResetModel();
}

void RecordingsModel::showFolder(const QString& folderKey)
{
    clearMarks();
    guarded([&] { m_list.setFolder(folderKey); });
}

void RecordingsModel::reload()
{
    guarded([&] { m_list.reload(); });
}

void RecordingsModel::setFont(const QFont& font)
{
    m_font = font;
    m_bold = font;
    m_bold.setBold(true);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

int RecordingsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

int RecordingsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordingsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const RecordingRow& row = m_list.row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case DateColumn: return QLocale::system().toString(row.date, QLocale::ShortFormat);
        case TimeColumn: return row.time.toString(QStringLiteral("HH:mm:ss"));
        case DurationColumn: return row.duration;
        case CallerColumn: return row.callerId;
        case MemoColumn: return row.comment; // plain text: the view never interprets it
        }
        return {};
    case Qt::FontRole: return row.accessed ? m_font : m_bold;
    case Qt::BackgroundRole: return m_marked.contains(row.id) && m_markColor.isValid() ? QVariant(m_markColor) : QVariant();
    case Qt::ToolTipRole: return row.fileName;
    default: return {};
    }
}

QVariant RecordingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {"Date", "Time", "Duration", "Caller ID", "Memo"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

void RecordingsModel::sort(int column, Qt::SortOrder order)
{
    static const RecordingList::Column columns[] = {RecordingList::Column::Date, RecordingList::Column::Time,
                                                    RecordingList::Column::Duration, RecordingList::Column::CallerId,
                                                    RecordingList::Column::Comment};
    if (column < 0 || column >= ColumnCount)
        return;
    guarded([&] { m_list.setOrder(columns[column], order == Qt::DescendingOrder); });
}

Qt::ItemFlags RecordingsModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList RecordingsModel::mimeTypes() const
{
    return {IdsMimeType};
}

QMimeData* RecordingsModel::mimeData(const QModelIndexList& indexes) const
{
    QStringList ids;
    QSet<int> rows;
    for (const QModelIndex& index : indexes)
        if (!rows.contains(index.row())) {
            rows.insert(index.row());
            ids << m_list.row(index.row()).id;
        }
    return mimeDataOf(ids);
}

// The ids for a drop on a folder; the files for a file manager or mail program.
QMimeData* RecordingsModel::mimeDataOf(const QStringList& ids) const
{
    QList<QUrl> urls;
    for (int row = 0; row < rowCount(); ++row) {
        const RecordingRow& r = m_list.row(row);
        if (ids.contains(r.id) && isPlainFileName(r.fileName) && QFileInfo::exists(m_recordingsFolder + r.fileName))
            urls << QUrl::fromLocalFile(m_recordingsFolder + r.fileName);
        if (urls.size() == ids.size())
            break;
    }
    auto* mime = new QMimeData;
    mime->setData(IdsMimeType, ids.join(QLatin1Char('\n')).toUtf8());
    mime->setUrls(urls);
    return mime;
}
