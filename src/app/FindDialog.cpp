#include "app/FindDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QPushButton>

FindDialog::FindDialog(const QString& text, bool matchCase, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Find"));
    m_text = new QLineEdit(text, this);
    m_text->setPlaceholderText(QStringLiteral("caller number"));
    m_matchCase = new QCheckBox(QStringLiteral("Match case"), this);
    m_matchCase->setChecked(matchCase);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton(QStringLiteral("Find next"), QDialogButtonBox::AcceptRole);
    next->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(next, &QPushButton::clicked, this, [this] {
        if (findNext && !findNext())
            QMessageBox::information(this, windowTitle(), FinishedText);
    });
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Find what:"), m_text);
    layout->addRow(QString(), m_matchCase);
    layout->addRow(buttons);
}
