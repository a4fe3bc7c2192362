#include "app/DesktopNews.h"

#include "calls/CallService.h"
#include "calls/EventLog.h"
#include "catalogue/Catalogue.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "mqtt/MqttNews.h"
#include "notify/MessageMail.h"
#include "platform/SecretStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <thread>

DesktopNews::DesktopNews(CallService& service, QWidget* window) : m_service(service), m_window(window) {}

DesktopNews::~DesktopNews() = default;

void DesktopNews::start()
{
    m_mail = std::make_unique<MessageMail>(MessageMail::Parts{m_service.news(), m_service.ini(), m_service.log(),
                                                             m_service.dataFolder(), m_service.catalogue().recordingsFolder()});
    connect(m_mail.get(), &MessageMail::passwordNeeded, this, &DesktopNews::askMailPassword, Qt::QueuedConnection);
    m_mail->start([] { return secretstore::lookup(MailSecretKey); }); // on the mail thread
    startMqtt();
}

void DesktopNews::askMailPassword()
{
    const QString account = settings::readString(m_service.ini(), keys::SmtpAccount).trimmed();
    askPassword(QStringLiteral("the mail server (%1)").arg(account), MailSecretKey, [this](const QString& password) {
        if (password.isEmpty())
            m_service.log().LogEvent(QStringLiteral("<ERROR> No mail password: mails wait in the outbox"));
        else
            m_mail->setPassword(password);
    });
}

// The secret store may take a moment: looked up off the window's thread.
void DesktopNews::startMqtt()
{
    if (!settings::readBool(m_service.ini(), keys::MqttEnabled))
        return;
    const bool needsPassword = !settings::readString(m_service.ini(), keys::MqttUser).trimmed().isEmpty();
    QPointer<DesktopNews> self(this);
    std::thread([self, needsPassword] {
        const QString stored = needsPassword ? secretstore::lookup(MqttSecretKey) : QString();
        QMetaObject::invokeMethod(qApp, [self, stored, needsPassword] {
            if (!self)
                return;
            if (needsPassword && stored.isEmpty())
                self->askPassword(QStringLiteral("the MQTT broker"), MqttSecretKey,
                                  [self](const QString& password) { if (self) self->startMqttWith(password); });
            else
                self->startMqttWith(stored);
        });
    }).detach();
}

void DesktopNews::startMqttWith(const QString& password)
{
    m_mqtt = std::make_unique<MqttNews>(MqttNews::Parts{m_service.news(), m_service.ini(), m_service.log()});
    connect(m_mqtt.get(), &MqttNews::answeringMachineSet, this, &DesktopNews::answeringMachineSet);
    m_mqtt->start(password);
}

void DesktopNews::askPassword(const QString& what, const QString& key, std::function<void(const QString&)> done)
{
    auto* dialog = new QDialog(m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Password"));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("Password for %1:").arg(what), dialog));
    auto* edit = new QLineEdit(dialog);
    edit->setEchoMode(QLineEdit::Password);
    layout->addWidget(edit);
    auto* keep = new QCheckBox(QStringLiteral("Keep it in the desktop's password store"), dialog);
    keep->setEnabled(secretstore::built());
    keep->setChecked(secretstore::built());
    layout->addWidget(keep);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    connect(dialog, &QDialog::finished, this, [this, dialog, edit, keep, what, key, done](int result) {
        const QString password = result == QDialog::Accepted ? edit->text() : QString();
        QString error;
        if (!password.isEmpty() && keep->isChecked()
            && !secretstore::store(key, QStringLiteral("Velmora: ") + what, password, &error))
            m_service.log().LogEvent(QStringLiteral("The password is not kept (%1): it is asked again next time").arg(error));
        done(password);
    });
    dialog->setModal(false);
    dialog->show();
}
