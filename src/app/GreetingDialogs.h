#pragma once

#include "calls/GreetingForms.h"

#include <QDialog>
#include <memory>

class CurrentSettings;
class GreetingMessageGroup;
class GreetingTable;
class IniFile;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QTimeEdit;

// The voice previews speak with: the one chosen in the settings dialog.
struct PreviewVoice
{
    int index = 0;
    QString id;
    int volume = 100;
};

// "Greeting Messages": a greeting per caller number, in Msgs.d. Every change
// is in the file at once.
class GreetingMessagesDialog : public QDialog
{
    Q_OBJECT
public:
    // Raises TableError when Msgs.d cannot be read.
    GreetingMessagesDialog(GreetingTable& table, const QString& dataFolder, const PreviewVoice& voice,
                           QWidget* parent = nullptr);
    ~GreetingMessagesDialog() override;

    GreetingMessagesForm& form() { return *m_form; }
    GreetingMessageGroup* message() const { return m_message; }
    // "Add..." with the answer already typed (tests, screenshots).
    void addCaller(const QString& callerId);
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showRows();
    void rowChosen(int row);
    void askCaller();
    void deleteRow();
    void recordingChanged(bool on);
    void guarded(const std::function<void()>& change);

    std::unique_ptr<GreetingMessagesForm> m_form;
    QListWidget* m_rows;
    QPushButton *m_add, *m_delete, *m_close;
    GreetingMessageGroup* m_message;
};

// "Schedule": the greeting by time of day. Changes reach the answering
// machine at once; Close stores them in the settings file.
class ScheduleDialog : public QDialog
{
    Q_OBJECT
public:
    ScheduleDialog(IniFile& ini, CurrentSettings& current, const QString& dataFolder, const PreviewVoice& voice,
                   QWidget* parent = nullptr);
    ~ScheduleDialog() override;

    ScheduleForm& form() { return *m_form; }
    QComboBox* periods() const { return m_period; }
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void periodChosen(int period);
    void closeClicked();

    std::unique_ptr<ScheduleForm> m_form;
    QComboBox* m_period;
    QCheckBox* m_enable;
    QTimeEdit *m_from, *m_to;
    QPushButton* m_close;
    GreetingMessageGroup* m_message;
};
