#pragma once

#include <QLabel>
#include <QTableWidget>
#include <QWidget>

class Catalogue;

// The new-messages window: the rows nobody has heard yet, in every folder.
class NewMessagesWindow : public QWidget
{
    Q_OBJECT
public:
    NewMessagesWindow(Catalogue& catalogue, QWidget* parent = nullptr);
    // "Open": runs the new-messages query; "Close": empties the grid.
    void openQuery();
    void closeQuery();
    int rowCount() const { return m_grid->rowCount(); }

private:
    Catalogue& m_catalogue;
    QTableWidget* m_grid;
    QLabel* m_count;
};
