#include "app/SupportDialog.h"
#include "app/PlainMessage.h"

#include "app/HelpTopics.h"
#include "support/SupportBundle.h"
#include "support/SupportMail.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr qint64 ViewLimit = 4 * 1024 * 1024;

QString failureText(const QString& folder, const QString& detail)
{
    return QStringLiteral("An error has occured and your email can not be sent\nPlease create an email, describe the "
                          "problem and attach the following files\n\n1. Events.log\n2. Diagnostics.log\n3. vlm.ini\n\n"
                          "These files can be found in folder\n\"%1\"\n\n%2")
        .arg(QDir::toNativeSeparators(folder), detail);
}

} // namespace

SupportDialog::SupportDialog(const QString& dataFolder, const IniFile& settings, std::function<bool()> runDiagnostics,
                             QWidget* parent)
    : QDialog(parent), m_folder(dataFolder), m_settings(settings), m_runDiagnostics(std::move(runDiagnostics))
{
    setWindowTitle(QStringLiteral("Ask support"));
    auto* header = new QLabel(QStringLiteral("An email will be sent with your modem parameters.\nPlease describe the problem"), this);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    m_address = new QLineEdit(this);
    m_name = new QLineEdit(this);
    m_problem = new QPlainTextEdit(this);
    m_problem->installEventFilter(this);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Your e-mail addres"), m_address);
    fields->addRow(QStringLiteral("Your name"), m_name);
    fields->addRow(m_problem);

    const SupportMail mail(m_folder, m_settings);
    const QString to = mail.recipient().isEmpty() ? QStringLiteral("the address you type in your mail program")
                                                  : mail.recipient();
    auto* route = new QLabel(mail.usesSmtp() ? QStringLiteral("Sent to %1 through %2").arg(to, mail.smtp().host)
                                             : QStringLiteral("Opens your mail program, to %1").arg(to),
                             this);
    route->setTextFormat(Qt::PlainText);

    auto* files = new QGroupBox(QStringLiteral("Files sent with it"), this);
    m_files = new QListWidget(files);
    m_files->setMaximumHeight(90);
    auto* view = new QPushButton(QStringLiteral("View"), files);
    m_diagnostics = new QLabel(files);
    m_diagnose = new QPushButton(files);
    auto* folder = new QLabel(QStringLiteral("Data folder: ") + QDir::toNativeSeparators(m_folder), files);
    folder->setTextFormat(Qt::PlainText);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* open = new QPushButton(QStringLiteral("Open data folder"), files);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_files, 1);
    fileRow->addWidget(view, 0, Qt::AlignTop);
    auto* diagnosticsRow = new QHBoxLayout;
    diagnosticsRow->addWidget(m_diagnostics, 1);
    diagnosticsRow->addWidget(m_diagnose);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder, 1);
    folderRow->addWidget(open);
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addLayout(fileRow);
    filesLayout->addLayout(diagnosticsRow);
    filesLayout->addLayout(folderRow);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    auto* bundle = buttons->addButton(QStringLiteral("Save support bundle..."), QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &SupportDialog::send);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(bundle, &QPushButton::clicked, this, &SupportDialog::chooseBundle);
    connect(view, &QPushButton::clicked, this, &SupportDialog::viewAttachment);
    connect(m_files, &QListWidget::itemDoubleClicked, this, &SupportDialog::viewAttachment);
    connect(m_diagnose, &QPushButton::clicked, this, &SupportDialog::diagnose);
    connect(open, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_folder)); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addLayout(fields);
    layout->addWidget(route);
    layout->addWidget(files);
    layout->addWidget(buttons);
    resize(560, 520);
}

void SupportDialog::showEvent(QShowEvent* event)
{
    refreshAttachments(); // the log as it stands now
    QDialog::showEvent(event);
}

QStringList SupportDialog::attachmentNames() const
{
    QStringList names;
    for (const QString& path : m_paths)
        names << QFileInfo(path).fileName();
    return names;
}

void SupportDialog::refreshAttachments()
{
    if (saveEventLog)
        saveEventLog();
    const SupportMail mail(m_folder, m_settings);
    QString error;
    m_paths = mail.attachments(&error);
    if (!error.isEmpty())
        tell(error);
    m_files->clear();
    for (const QString& path : m_paths) {
        const bool masked = QFileInfo(path).dir().dirName() == SupportMail::CopiesFolder;
        m_files->addItem(QFileInfo(path).fileName() + (masked ? QStringLiteral(" (secrets masked)") : QString()));
    }
    const QDateTime written = mail.diagnosticsDate();
    m_diagnostics->setText(written.isValid()
                               ? QStringLiteral("Diagnostics.log of %1").arg(QLocale().toString(written, QLocale::ShortFormat))
                               : QStringLiteral("No Diagnostics.log yet: it is made when you send"));
    m_diagnose->setText(written.isValid() ? QStringLiteral("Run diagnostics again") : QStringLiteral("Run diagnostics"));
    m_diagnose->setEnabled(bool(m_runDiagnostics));
}

void SupportDialog::diagnose()
{
    if (m_runDiagnostics)
        m_runDiagnostics();
    refreshAttachments();
}

void SupportDialog::send()
{
    SupportMail mail(m_folder, m_settings);
    mail.mailProgram.program = mailProgram;
    SupportMail::Sender sender{m_address->text(), m_name->text(), m_problem->toPlainText()};
    if (mail.usesSmtp()) {
        const QString problem = SupportMail::check(sender);
        if (!problem.isEmpty()) {
            tell(problem);
            if (!sender.address.isEmpty())
                m_address->clear();
            m_address->setFocus();
            return;
        }
        m_name->setText(sender.name);
    }
    if (!mail.diagnosticsDate().isValid() && m_runDiagnostics)
        m_runDiagnostics(); // without a modem the mail goes without it
    refreshAttachments();
    QString password = m_password;
    if (mail.usesSmtp() && !mail.smtp().account.isEmpty() && !m_quiet && !askPassword(mail.smtp().account, &password))
        return;

    QString error;
    bool sent = false;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const QStringList paths = m_paths;
    // The window stays responsive while a slow server answers.
    QThread* worker = QThread::create(
        [&] { sent = mail.send(SupportMail::Subject, sender.problem, sender, paths, password, &error); });
    QEventLoop wait;
    connect(worker, &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    if (sent) {
        accept();
        return;
    }
    tell(mail.usesSmtp() ? failureText(m_folder, error) : error);
}

bool SupportDialog::askPassword(const QString& account, QString* password)
{
    bool ok = false;
    *password = QInputDialog::getText(this, windowTitle(), QStringLiteral("Password of %1 (used for this mail only)").arg(account),
                                      QLineEdit::Password, QString(), &ok);
    return ok;
}

bool SupportDialog::saveBundle(const QString& path)
{
    if (saveEventLog)
        saveEventLog();
    const QString description = QStringLiteral("From: %1 <%2>\n\n%3")
                                    .arg(m_name->text(), m_address->text(), m_problem->toPlainText());
    QString error;
    if (!SupportBundle(m_folder).write(path, description, &error)) {
        tell(error);
        return false;
    }
    tell(QStringLiteral("The support bundle is saved as %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void SupportDialog::chooseBundle()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save support bundle"),
                                                      QDir::home().filePath(QStringLiteral("velmora-support.tar.gz")),
                                                      QStringLiteral("Support bundle (*.tar.gz)"));
    if (!path.isEmpty())
        saveBundle(path);
}

void SupportDialog::viewAttachment()
{
    const int row = m_files->currentRow();
    if (row < 0 || row >= m_paths.size())
        return;
    QFile file(m_paths[row]);
    if (!file.open(QIODevice::ReadOnly)) {
        tell(QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString()));
        return;
    }
    QDialog viewer(this);
    viewer.setWindowTitle(QFileInfo(file).fileName());
    auto* text = new QPlainTextEdit(&viewer);
    text->setReadOnly(true);
    text->setPlainText(QString::fromUtf8(file.read(ViewLimit)));
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &viewer);
    connect(close, &QDialogButtonBox::rejected, &viewer, &QDialog::reject);
    auto* layout = new QVBoxLayout(&viewer);
    layout->addWidget(text);
    layout->addWidget(close);
    viewer.resize(640, 480);
    viewer.exec();
}

void SupportDialog::tell(const QString& text)
{
    m_messages << text;
    if (m_quiet)
        return;
    showPlainMessage(this, windowTitle(), text);
}

bool SupportDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_problem && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        help::show(help::HelpMenu);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
