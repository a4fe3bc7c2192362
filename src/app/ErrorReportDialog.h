#pragma once

#include <QDialog>

// "Error report": shown after an unexpected error deep in a modem, display
// or settings path. Sending the report comes with the mail facility.
class ErrorReportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ErrorReportDialog(QWidget* parent = nullptr);
    // Stores both texts and shows the dialog modally.
    void ShowErrorReport(const QString& message, const QString& line);
    const QString& message() const { return m_message; }
    const QString& line() const { return m_line; }

private:
    QString m_message;
    QString m_line;
};
