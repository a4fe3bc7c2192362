#pragma once

#include <QDialog>
#include <QStringList>

class IniFile;

// "Error report": shown after an unexpected error deep in a modem, display
// or settings path. The report goes to the support address through the mail
// program, or the user's own mail server when one is set.
class ErrorReportDialog : public QDialog
{
    Q_OBJECT
public:
    ErrorReportDialog(const QString& dataFolder, const IniFile& settings, QWidget* parent = nullptr);
    // Stores both texts and shows the dialog modally.
    void ShowErrorReport(const QString& message, const QString& line);
    const QString& message() const { return m_message; }
    const QString& line() const { return m_line; }

    // Closes the dialog, then sends; a failure is shown after it closed.
    void sendReport();
    // Tests: messages are kept instead of shown.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    const QStringList& messages() const { return m_messages; }
    QString mailProgram = QStringLiteral("xdg-email");

private:
    void tell(const QString& text);

    QString m_folder;
    const IniFile& m_settings;
    QString m_message;
    QString m_line;
    QStringList m_messages;
    bool m_quiet = false;
};
