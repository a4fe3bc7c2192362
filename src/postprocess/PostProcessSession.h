#pragma once

#include "postprocess/RecordingEdit.h"
#include "postprocess/VoiceEqualizer.h"

#include <QBuffer>
#include <QObject>
#include <memory>

class TRawDataPlayer;

// The logic of the "Volume level" and "Voice equalizer" dialogs: the
// recording in memory, Apply on it, the preview through the raw player and
// Save into the file. Opened, changed (Save possible), saved, closed; the
// file changes only at Save.
class PostProcessSession : public QObject
{
    Q_OBJECT
public:
    explicit PostProcessSession(QObject* parent = nullptr);
    ~PostProcessSession() override;

    bool open(const QString& path, QString* error);
    const QByteArray& audio() const { return m_edit.audio(); }
    const QString& path() const { return m_edit.path(); }

    // Apply works on the audio as it stands (twice +50 % is 2.25).
    void applyLevel(int percent, const postprocess::Progress& progress = {});
    // Unchanged (and nothing to save) when the recording holds no voice.
    postprocess::EqualizeOutcome equalize(const postprocess::Progress& progress = {});
    bool canSave() const { return m_changed; }
    // The message of the Part on failure (the audio stays for another try).
    bool save(QString* error);

    // The preview from the start; previewEnded() follows.
    bool play(QString* error);
    void stop();
    bool playing() const;

signals:
    void previewEnded();

private:
    RecordingEdit m_edit;
    std::unique_ptr<TRawDataPlayer> m_player;
    QBuffer m_stream;
    bool m_changed = false;
};
