#pragma once

#include "postprocess/PostProcessSession.h"

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

// "Volume level" (a slider from -50 to 100 %) and "Voice equalizer" over one
// recording: Apply with progress, Play and Stop for the preview, Save into
// the file in its own format. While Apply runs the controls are disabled
// and closing waits for it.
class PostProcessDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Kind { VolumeLevel, VoiceEqualizer };

    PostProcessDialog(Kind kind, QWidget* parent = nullptr);
    ~PostProcessDialog() override;

    // False with *error when the recording cannot be read (no dialog then).
    bool open(const QString& path, QString* error);
    PostProcessSession& session() { return m_session; }
    QSlider* slider() const { return m_slider; }
    // Tests and screenshots: messages go here instead of a box.
    void setQuiet(bool quiet) { m_quiet = quiet; }
    const QStringList& messages() const { return m_messages; }

    void apply();
    void save();

    // The main window's display follows the working audio.
    std::function<void(const QByteArray& audio)> onDisplay;
    std::function<void()> onClearDisplay;
    // After a successful Save (the catalogue row's size).
    std::function<void(const QString& path)> onSaved;

    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void play();
    void stop();
    void setBusy(bool busy);
    void progress(int percent);
    void tell(const QString& text);

    Kind m_kind;
    PostProcessSession m_session;
    QSlider* m_slider = nullptr;
    QLabel* m_percent = nullptr;
    QProgressBar* m_gauge;
    QPushButton *m_play, *m_stop, *m_apply, *m_save, *m_close, *m_help;
    QStringList m_messages;
    bool m_quiet = false;
    bool m_applying = false;
};
