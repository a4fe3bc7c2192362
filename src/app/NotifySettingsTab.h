#pragma once

#include <QWidget>

class IniFile;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// The settings dialog's "Mail and MQTT" tab: new-message mail and the MQTT
// broker. Passwords are not here: they are asked when needed and kept only
// in the desktop's password store.
class NotifySettingsTab : public QWidget
{
    Q_OBJECT
public:
    NotifySettingsTab(const IniFile& ini, QWidget* parent = nullptr);
    // As one batch with the rest of the dialog's keys.
    void write(IniFile& ini) const;

private:
    QWidget* mailGroup(const IniFile& ini);
    QWidget* mqttGroup(const IniFile& ini);

    QCheckBox *m_mailOn, *m_onMessage, *m_onEveryCall, *m_onModemLost, *m_attach, *m_mqttOn, *m_mqttTls, *m_discovery;
    QLineEdit *m_to, *m_from, *m_subject, *m_body, *m_host, *m_user, *m_line;
    QComboBox* m_format;
    QSpinBox* m_port;
};
