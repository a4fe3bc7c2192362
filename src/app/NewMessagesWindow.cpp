#include "app/NewMessagesWindow.h"

#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

NewMessagesWindow::NewMessagesWindow(Catalogue& catalogue, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_catalogue(catalogue)
{
    setWindowTitle(QStringLiteral("New messages"));
    m_grid = new QTableWidget(0, 4, this);
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Caller ID"),
                                       QStringLiteral("File")});
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_count = new QLabel(this);
    auto* open = new QPushButton(QStringLiteral("Open"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(open, &QPushButton::clicked, this, &NewMessagesWindow::openQuery);
    connect(close, &QPushButton::clicked, this, &NewMessagesWindow::closeQuery);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_count, 1);
    buttons->addWidget(open);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    resize(460, 220);
}

void NewMessagesWindow::openQuery()
{
    std::vector<NewMessage> rows;
    try {
        rows = m_catalogue.newMessages();
    } catch (const TableError& e) {
        m_count->setText(e.message());
        return;
    }
    m_grid->setRowCount(int(rows.size()));
    const QLocale locale = QLocale::system();
    for (int i = 0; i < int(rows.size()); ++i) {
        const NewMessage& m = rows[size_t(i)];
        const QStringList cells = {locale.toString(m.date, QLocale::ShortFormat),
                                   m.time.toString(QStringLiteral("HH:mm:ss")), m.callerId, m.fileName};
        for (int c = 0; c < cells.size(); ++c)
            m_grid->setItem(i, c, new QTableWidgetItem(cells[c])); // items show plain text
    }
    m_count->setText(QString::number(rows.size()));
}

void NewMessagesWindow::closeQuery()
{
    m_grid->setRowCount(0);
    m_count->clear();
}
