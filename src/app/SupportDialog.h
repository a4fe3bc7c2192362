#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class IniFile;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// "Ask support": the user's address and the problem, the files that go with
// them (each can be viewed first), sent through the mail program or the
// user's own mail server, or saved as a support bundle. A failed send keeps
// the dialog and everything typed.
class SupportDialog : public QDialog
{
    Q_OBJECT
public:
    // runDiagnostics writes Diagnostics.log (the modem held meanwhile);
    // false when it could not.
    SupportDialog(const QString& dataFolder, const IniFile& settings, std::function<bool()> runDiagnostics,
                  QWidget* parent = nullptr);

    // Tests: messages are kept instead of shown, the password is given.
    void setQuiet(bool quiet, const QString& password = QString())
    {
        m_quiet = quiet;
        m_password = password;
    }
    const QStringList& messages() const { return m_messages; }
    QLineEdit* addressField() const { return m_address; }
    QLineEdit* nameField() const { return m_name; }
    QPlainTextEdit* problemField() const { return m_problem; }
    QStringList attachmentNames() const;
    // The mail program (xdg-email) to use; tests set a stand-in.
    QString mailProgram = QStringLiteral("xdg-email");
    // Writes the event log's lines held in memory to Events.log: called
    // before the files are listed, sent or bundled.
    std::function<void()> saveEventLog;

    void send();
    bool saveBundle(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshAttachments();
    void diagnose();
    void viewAttachment();
    void chooseBundle();
    void tell(const QString& text);
    bool askPassword(const QString& account, QString* password);

    QString m_folder;
    const IniFile& m_settings;
    std::function<bool()> m_runDiagnostics;
    QLineEdit* m_address;
    QLineEdit* m_name;
    QPlainTextEdit* m_problem;
    QListWidget* m_files;
    QLabel* m_diagnostics;
    QPushButton* m_diagnose;
    QStringList m_paths;
    QStringList m_messages;
    QString m_password;
    bool m_quiet = false;
};
