#include "app/RecordingGrid.h"

#include "app/RecordingsModel.h"

#include <QDrag>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

RecordingGrid::RecordingGrid(RecordingsModel* model, QWidget* parent) : QTableView(parent), m_model(model)
{
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(true);
    horizontalHeader()->setSortIndicator(RecordingsModel::DateColumn, Qt::DescendingOrder);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    model->setMarkColor(markColor(palette()));
}

// Between the base and the selection's colour: told apart from both, on a light or a dark palette.
QColor RecordingGrid::markColor(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor highlight = palette.color(QPalette::Highlight);
    auto mix = [](int a, int b) { return (a * 65 + b * 35) / 100; };
    return QColor(mix(base.red(), highlight.red()), mix(base.green(), highlight.green()), mix(base.blue(), highlight.blue()));
}

QStringList RecordingGrid::idsToActOn() const
{
    QStringList ids = m_model->markedIds();
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        const QString id = m_model->recording(current.row()).id;
        if (!ids.contains(id))
            ids.prepend(id);
    }
    return ids;
}

void RecordingGrid::keyPressEvent(QKeyEvent* event)
{
    const bool up = event->key() == Qt::Key_Up;
    const bool down = event->key() == Qt::Key_Down;
    if (up || down) {
        if (event->modifiers() == Qt::ShiftModifier) {
            m_model->toggleMark(currentIndex().row()); // toggled before the cursor moves on
            const int row = std::clamp(currentIndex().row() + (down ? 1 : -1), 0, std::max(m_model->rowCount() - 1, 0));
            setCurrentIndex(m_model->index(row, 0));
            return;
        }
        if (event->modifiers() == Qt::NoModifier)
            m_model->clearMarks();
    }
    switch (event->key()) {
    case Qt::Key_Space: emit playPauseRequested(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: emit playRequested(); return;
    case Qt::Key_Delete: emit deleteRequested(); return;
    case Qt::Key_F2: emit commentRequested(); return;
    default: break;
    }
    QTableView::keyPressEvent(event);
}

void RecordingGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QModelIndex at = indexAt(event->position().toPoint());
        if (event->modifiers() == Qt::ControlModifier && at.isValid()) {
            m_model->toggleMark(at.row());
            setCurrentIndex(at);
            return;
        }
        if (event->modifiers() == Qt::NoModifier)
            m_model->clearMarks();
    }
    QTableView::mousePressEvent(event);
}

void RecordingGrid::focusOutEvent(QFocusEvent* event)
{
    // A menu, a dialog of the action or another window is not leaving the grid.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        m_model->clearMarks();
    QTableView::focusOutEvent(event);
}

void RecordingGrid::startDrag(Qt::DropActions)
{
    const QStringList ids = idsToActOn();
    if (ids.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(m_model->mimeDataOf(ids));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}
