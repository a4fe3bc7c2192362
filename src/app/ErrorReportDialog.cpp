#include "app/ErrorReportDialog.h"
#include "app/PlainMessage.h"

#include "support/SupportMail.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

ErrorReportDialog::ErrorReportDialog(const QString& dataFolder, const IniFile& settings, QWidget* parent)
    : QDialog(parent), m_folder(dataFolder), m_settings(settings)
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
    connect(see, &QPushButton::clicked, this, [this] {
        showPlainMessage(this, windowTitle(), m_message, QMessageBox::Warning);
    });
    connect(send, &QPushButton::clicked, this, &ErrorReportDialog::sendReport);
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

void ErrorReportDialog::sendReport()
{
    accept();
    SupportMail mail(m_folder, m_settings);
    mail.mailProgram.program = mailProgram;
    // The report's sender is the mail account when it is an address.
    const QString account = mail.smtp().account;
    SupportMail::Sender sender{account.contains(QLatin1Char('@')) ? account : mail.recipient(), QString(), QString()};
    QString password, error;
    if (mail.usesSmtp() && !account.isEmpty() && !m_quiet) {
        bool ok = false;
        password = QInputDialog::getText(parentWidget(), windowTitle(),
                                         QStringLiteral("Password of %1 (used for this mail only)").arg(account),
                                         QLineEdit::Password, QString(), &ok);
        if (!ok)
            return;
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const bool sent = mail.send(SupportMail::ErrorSubject, SupportMail::errorReportBody(m_message, m_line), sender, {},
                                password, &error);
    QApplication::restoreOverrideCursor();
    if (!sent)
        tell(error);
}

void ErrorReportDialog::tell(const QString& text)
{
    m_messages << text;
    if (m_quiet)
        return;
    showPlainMessage(parentWidget(), windowTitle(), text, QMessageBox::Warning);
}
