#include "app/ErrorReportDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

ErrorReportDialog::ErrorReportDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Error report"));
    auto* header = new QLabel(QStringLiteral("Vlm has encoutered a problem. We are sorry for the inconvenience"), this);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    auto* text = new QLabel(QStringLiteral("Please inform us about this problem. We have created an error report that\n"
                                           "you can help us improve VLM. We will treat this report as confidential and\n"
                                           "anonymous"),
                            this);
    auto* see = new QPushButton(QStringLiteral("See error"), this);
    auto* send = new QPushButton(QStringLiteral("Send error report"), this);
    auto* dontSend = new QPushButton(QStringLiteral("Don't Send"), this);
    send->setEnabled(false); // there is no vendor address; the support dialog's bundle replaces it
    send->setToolTip(QStringLiteral("Use Help, Ask support... to save or mail a support bundle"));
    connect(see, &QPushButton::clicked, this, [this] {
        QMessageBox box(QMessageBox::Warning, windowTitle(), m_message, QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    });
    connect(dontSend, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(see);
    buttons->addWidget(send);
    buttons->addWidget(dontSend);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

void ErrorReportDialog::ShowErrorReport(const QString& message, const QString& line)
{
    m_message = message;
    m_line = line;
    exec();
}
