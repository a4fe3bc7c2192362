#pragma once

#include "calls/GreetingForms.h"

#include <QGroupBox>
#include <functional>

class GreetingPreview;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

// The "  Message  " group both greeting dialogs share: the type, a page per
// type, and Play, Stop, Record and Save as (the preview into a WAV file, for
// a machine without a sound card). The dialog passes every change on to its
// form and says what the current message is.
class GreetingMessageGroup : public QGroupBox
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<GreetingMessage()> message;
        std::function<void(int)> setType;
        std::function<void(const QString&)> setWavFile;
        std::function<void(const QString&)> setText;
    };

    GreetingMessageGroup(const QString& dataFolder, Hooks hooks, QWidget* parent = nullptr);
    ~GreetingMessageGroup() override;

    // Shows the current message (not while a recording runs).
    void showMessage();
    // The text box's text to the form (it is stored on leaving the box).
    void commitText();
    void setVoice(int index, const QString& id, int volume);
    bool recording() const;
    GreetingPreview& preview() { return *m_preview; }
    QPushButton* playButton() const { return m_play; }
    QPushButton* recordButton() const { return m_record; }

signals:
    // A recording started or ended: the dialog locks its list and Close.
    void recordingChanged(bool on);
    // Shown to the user; the dialog puts it in a message box.
    void problem(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void typeChosen(int type);
    void browse();
    void play();
    void stop();
    void record();
    void saveAs();
    void previewEnded(const QString& error);
    void showPage(int type);

    QString m_dataFolder;
    Hooks m_hooks;
    GreetingPreview* m_preview;
    QComboBox* m_type;
    QStackedWidget* m_pages;
    QLabel* m_wavName;
    QPlainTextEdit* m_text;
    QPushButton *m_play, *m_stop, *m_record, *m_save;
};
