#pragma once

#include "config/SettingsForm.h"
#include "app/GreetingDialogs.h"
#include "platform/SpeechSynthesizer.h"

#include <QDialog>
#include <functional>
#include <vector>

class CurrentSettings;
class NotifySettingsTab;
class GreetingTable;
class IniFile;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class WebSettingsTab;

// "Settings": the settings form in tabs. Ok writes everything in one
// batch (a failed write is shown and the dialog stays open) and updates
// the logon entry; Cancel forgets the changes.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    // What the dialog's buttons open: the greeting dialogs and the modem
    // definition. A button without its link is disabled.
    struct Links
    {
        QString dataFolder;
        GreetingTable* greetings = nullptr;
        CurrentSettings* current = nullptr;
        // Runs the modem definition, which rewrites the modem's sections.
        std::function<void()> findModems;
        // The error report: a message and the step that failed.
        std::function<void(const QString&, const QString&)> reportError;
    };

    SettingsDialog(IniFile& ini, std::vector<SpeechVoice> voices, QWidget* parent = nullptr);
    void setLinks(Links links);
    const SettingsForm& form() const { return m_form; }
    QTabWidget* tabs() const { return m_tabs; }
    // Ok without the click, for the window's tests and screenshots.
    bool confirm(QString* error);

private:
    QWidget* generalTab();
    QWidget* modemTab();
    QWidget* playerTab();
    QWidget* recordingTab();
    QWidget* answeringTab();
    QWidget* storageTab();
    void showForm(const SettingsForm& form);
    void collect();
    void applyHints(bool on);
    void answeringToggled(bool on);
    void refreshDisk();
    void findModems();
    void openGreetings();
    void openSchedule();
    void chooseFontColor();
    PreviewVoice previewVoice() const;
    void accept() override;
    void showEvent(QShowEvent* event) override;

    IniFile& m_ini;
    SettingsForm m_form;
    std::vector<SpeechVoice> m_voices;
    Links m_links;
    QTabWidget* m_tabs;
    NotifySettingsTab* m_notifyTab;
    WebSettingsTab* m_web;
    QCheckBox *m_startUp, *m_callerId, *m_showHints, *m_notifications, *m_popupToo, *m_playTrace, *m_recordTrace, *m_extPlayer, *m_autoRecord,
        *m_silence, *m_periodic, *m_cadence, *m_answering, *m_beep, *m_maxMsg;
    QLabel *m_format, *m_font, *m_model, *m_disk;
    QComboBox *m_baud, *m_flow, *m_points, *m_voice;
    QSpinBox *m_timeout, *m_discTime, *m_rings, *m_msgTime, *m_smtpPort;
    QSlider *m_playGain, *m_recordGain;
    QPushButton *m_back, *m_trace, *m_playerBrowse, *m_fontColor, *m_findModems, *m_greetings, *m_schedule;
    QLineEdit *m_player, *m_hangup, *m_remote, *m_wavDir, *m_supportAddress, *m_smtpServer, *m_smtpAccount;
    QProgressBar* m_used;
    QLabel* m_weakCode;
    QLabel* m_voiceLabel;
    QWidget* m_legend;
    std::vector<std::pair<QWidget*, QString>> m_hints;
};
