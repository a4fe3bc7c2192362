#pragma once

#include <QWidget>

class IniFile;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// Settings, "Web interface": on or off, where it listens, the password
// (only its hash is kept; an empty field keeps the one set), the HTTPS
// certificate and its fingerprint.
class WebSettingsTab : public QWidget
{
public:
    WebSettingsTab(IniFile& ini, QWidget* parent = nullptr);
    // Writes the tab's settings; false with *error when what was typed
    // cannot be kept (passwords that differ or are too short).
    bool save(QString* error);

private:
    QLineEdit* fileField(const QString& title, int row, class QGridLayout* grid);

    IniFile& m_ini;
    QCheckBox* m_enabled;
    QLineEdit *m_address, *m_password, *m_repeat, *m_certificate, *m_key;
    QSpinBox *m_port, *m_minutes, *m_upload;
    QLabel* m_fingerprint;
};
