#include "app/WebSettingsTab.h"

#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "web/PasswordHash.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int MinPasswordLength = 8;

QSpinBox* spin(const settings::Key& key, int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(key.minimum, key.maximum);
    box->setValue(value);
    return box;
}

} // namespace

WebSettingsTab::WebSettingsTab(IniFile& ini, QWidget* parent) : QWidget(parent), m_ini(ini)
{
    m_enabled = new QCheckBox(QStringLiteral("Web interface on"), this);
    m_enabled->setChecked(settings::readBool(ini, keys::WebEnabled));
    m_address = new QLineEdit(settings::readString(ini, keys::WebAddress), this);
    m_address->setToolTip(QStringLiteral("127.0.0.1: this computer only. Any other address is served over HTTPS."));
    m_port = spin(keys::WebPort, settings::readInteger(ini, keys::WebPort), this);
    m_password = new QLineEdit(this);
    m_repeat = new QLineEdit(this);
    for (QLineEdit* field : {m_password, m_repeat}) {
        field->setEchoMode(QLineEdit::Password);
        field->setPlaceholderText(settings::readString(ini, keys::WebPasswordHash).isEmpty()
                                      ? QStringLiteral("Not set")
                                      : QStringLiteral("Unchanged"));
    }
    m_minutes = spin(keys::WebSessionMinutes, settings::readInteger(ini, keys::WebSessionMinutes), this);
    m_upload = spin(keys::WebUploadMegabytes, settings::readInteger(ini, keys::WebUploadMegabytes), this);
    const QString fingerprint = settings::readString(ini, keys::WebFingerprint);
    m_fingerprint = new QLabel(fingerprint.isEmpty() ? QStringLiteral("None yet (made when HTTPS first starts)") : fingerprint, this);
    m_fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_fingerprint->setWordWrap(true);

    auto* grid = new QGridLayout;
    const std::pair<QString, QWidget*> rows[] = {
        {QStringLiteral("Address"), m_address}, {QStringLiteral("Port"), m_port},
        {QStringLiteral("New password"), m_password}, {QStringLiteral("Password again"), m_repeat},
        {QStringLiteral("Log out after minutes idle"), m_minutes}, {QStringLiteral("Largest greeting upload (MB)"), m_upload}};
    int row = 0;
    for (const auto& [title, field] : rows) {
        grid->addWidget(new QLabel(title, this), row, 0);
        grid->addWidget(field, row++, 1);
    }
    m_certificate = fileField(QStringLiteral("Certificate (PEM)"), row++, grid);
    m_certificate->setText(settings::readString(ini, keys::WebCertificate));
    m_certificate->setPlaceholderText(QStringLiteral("Empty: Velmora makes one"));
    m_key = fileField(QStringLiteral("Private key (PEM)"), row++, grid);
    m_key->setText(settings::readString(ini, keys::WebPrivateKey));
    grid->addWidget(new QLabel(QStringLiteral("Certificate fingerprint (SHA-256)"), this), row, 0);
    grid->addWidget(m_fingerprint, row, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_enabled);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(QStringLiteral("Changes take effect when Velmora starts again."), this));
    layout->addStretch();
}

QLineEdit* WebSettingsTab::fileField(const QString& title, int row, QGridLayout* grid)
{
    auto* field = new QLineEdit(this);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    connect(browse, &QPushButton::clicked, this, [this, field, title] {
        const QString chosen = QFileDialog::getOpenFileName(this, title, field->text());
        if (!chosen.isEmpty())
            field->setText(chosen);
    });
    auto* line = new QHBoxLayout;
    line->addWidget(field, 1);
    line->addWidget(browse);
    grid->addWidget(new QLabel(title, this), row, 0);
    grid->addLayout(line, row, 1);
    return field;
}

bool WebSettingsTab::save(QString* error)
{
    const QString password = m_password->text();
    QString why;
    if (password != m_repeat->text())
        why = QStringLiteral("the two web interface passwords differ");
    else if (!password.isEmpty() && password.size() < MinPasswordLength)
        why = QStringLiteral("the web interface password needs at least %1 characters").arg(MinPasswordLength);
    else if (m_enabled->isChecked() && password.isEmpty() && settings::readString(m_ini, keys::WebPasswordHash).isEmpty())
        why = QStringLiteral("the web interface needs a password");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    const QString hash = password.isEmpty() ? settings::readString(m_ini, keys::WebPasswordHash) : passwordhash::make(password);
    const bool written = settings::writeBool(m_ini, keys::WebEnabled, m_enabled->isChecked())
        && settings::writeString(m_ini, keys::WebAddress, m_address->text().trimmed())
        && settings::writeInteger(m_ini, keys::WebPort, m_port->value()) && settings::writeString(m_ini, keys::WebPasswordHash, hash)
        && settings::writeString(m_ini, keys::WebCertificate, m_certificate->text().trimmed())
        && settings::writeString(m_ini, keys::WebPrivateKey, m_key->text().trimmed())
        && settings::writeInteger(m_ini, keys::WebSessionMinutes, m_minutes->value())
        && settings::writeInteger(m_ini, keys::WebUploadMegabytes, m_upload->value());
    if (!written && error)
        *error = m_ini.lastError();
    if (written) {
        m_password->clear();
        m_repeat->clear();
    }
    return written;
}
