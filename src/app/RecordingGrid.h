#pragma once

#include <QTableView>

class RecordingsModel;

// The recordings grid: its own marking (Shift+Up/Down and Ctrl+click
// toggle a row, a plain move or click clears the marks, leaving the grid
// clears them), keys for the transport, and rows dragged out as files.
class RecordingGrid : public QTableView
{
    Q_OBJECT
public:
    explicit RecordingGrid(RecordingsModel* model, QWidget* parent = nullptr);
    // The marked rows' ids and the current row's (it always counts).
    QStringList idsToActOn() const;
    // The colour of marked rows on this palette.
    static QColor markColor(const QPalette& palette);

signals:
    void playRequested();
    void playPauseRequested();
    void deleteRequested();
    void commentRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void startDrag(Qt::DropActions actions) override;

private:
    RecordingsModel* m_model;
};
