#include "app/NotifySettingsTab.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QCheckBox* check(const QString& text, const IniFile& ini, const settings::Key& key, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setChecked(settings::readBool(ini, key));
    return box;
}

QLineEdit* line(const IniFile& ini, const settings::Key& key, QWidget* parent)
{
    return new QLineEdit(settings::readString(ini, key), parent);
}

} // namespace

NotifySettingsTab::NotifySettingsTab(const IniFile& ini, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mailGroup(ini));
    layout->addWidget(mqttGroup(ini));
    layout->addStretch();
}

QWidget* NotifySettingsTab::mailGroup(const IniFile& ini)
{
    auto* group = new QGroupBox(QStringLiteral("Mail on new messages (through the mail server of the General tab)"), this);
    auto* form = new QFormLayout(group);
    m_mailOn = check(QStringLiteral("Send mails"), ini, keys::MailEnabled, group);
    form->addRow(m_mailOn);
    m_to = line(ini, keys::MailTo, group);
    m_to->setPlaceholderText(QStringLiteral("ann@example.org, bob@example.org"));
    form->addRow(QStringLiteral("To:"), m_to);
    m_from = line(ini, keys::MailFrom, group);
    form->addRow(QStringLiteral("From:"), m_from);
    m_onMessage = check(QStringLiteral("New messages"), ini, keys::MailOnMessage, group);
    m_onEveryCall = check(QStringLiteral("Every call, also picked-up and blocked ones"), ini, keys::MailOnEveryCall, group);
    m_onModemLost = check(QStringLiteral("The modem lost"), ini, keys::MailOnModemLost, group);
    form->addRow(QStringLiteral("Mail about:"), m_onMessage);
    form->addRow(QString(), m_onEveryCall);
    form->addRow(QString(), m_onModemLost);
    m_attach = check(QStringLiteral("Attach the message"), ini, keys::MailAttach, group);
    m_format = new QComboBox(group);
    m_format->addItem(QStringLiteral("Opus (small)"), QStringLiteral("opus"));
    m_format->addItem(QStringLiteral("WAV as recorded"), QStringLiteral("wav"));
    m_format->setCurrentIndex(settings::readString(ini, keys::MailFormat).trimmed().toLower() == QLatin1String("wav"));
    form->addRow(m_attach, m_format);
    m_subject = line(ini, keys::MailSubject, group);
    m_body = line(ini, keys::MailBody, group);
    const QString fields = QStringLiteral("{number} {name} {date} {time} {duration} {folder}");
    m_subject->setToolTip(fields);
    m_body->setToolTip(fields + QStringLiteral("; \\n starts a new line"));
    form->addRow(QStringLiteral("Subject:"), m_subject);
    form->addRow(QStringLiteral("Text:"), m_body);
    return group;
}

QWidget* NotifySettingsTab::mqttGroup(const IniFile& ini)
{
    auto* group = new QGroupBox(QStringLiteral("MQTT for home automation"), this);
    auto* form = new QFormLayout(group);
    m_mqttOn = check(QStringLiteral("Publish the line's state and events"), ini, keys::MqttEnabled, group);
    form->addRow(m_mqttOn);
    m_host = line(ini, keys::MqttHost, group);
    form->addRow(QStringLiteral("Broker:"), m_host);
    m_port = new QSpinBox(group);
    m_port->setRange(keys::MqttPort.minimum, keys::MqttPort.maximum);
    m_port->setValue(settings::readInteger(ini, keys::MqttPort));
    m_mqttTls = check(QStringLiteral("TLS"), ini, keys::MqttTls, group);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QString(), m_mqttTls);
    m_user = line(ini, keys::MqttUser, group);
    form->addRow(QStringLiteral("User:"), m_user);
    m_line = line(ini, keys::MqttLine, group);
    m_line->setToolTip(QStringLiteral("Topics are velmora/<line>/..."));
    form->addRow(QStringLiteral("Line name:"), m_line);
    m_discovery = check(QStringLiteral("Home Assistant discovery"), ini, keys::MqttDiscovery, group);
    form->addRow(QString(), m_discovery);
    return group;
}

void NotifySettingsTab::write(IniFile& ini) const
{
    using namespace settings;
    writeBool(ini, keys::MailEnabled, m_mailOn->isChecked());
    writeString(ini, keys::MailTo, m_to->text().trimmed());
    writeString(ini, keys::MailFrom, m_from->text().trimmed());
    writeBool(ini, keys::MailOnMessage, m_onMessage->isChecked());
    writeBool(ini, keys::MailOnEveryCall, m_onEveryCall->isChecked());
    writeBool(ini, keys::MailOnModemLost, m_onModemLost->isChecked());
    writeBool(ini, keys::MailAttach, m_attach->isChecked());
    writeString(ini, keys::MailFormat, m_format->currentData().toString());
    writeString(ini, keys::MailSubject, m_subject->text());
    writeString(ini, keys::MailBody, m_body->text());
    writeBool(ini, keys::MqttEnabled, m_mqttOn->isChecked());
    writeString(ini, keys::MqttHost, m_host->text().trimmed());
    writeInteger(ini, keys::MqttPort, m_port->value());
    writeBool(ini, keys::MqttTls, m_mqttTls->isChecked());
    writeString(ini, keys::MqttUser, m_user->text().trimmed());
    writeString(ini, keys::MqttLine, m_line->text().trimmed());
    writeBool(ini, keys::MqttDiscovery, m_discovery->isChecked());
}
