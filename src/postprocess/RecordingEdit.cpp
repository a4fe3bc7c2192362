#include "postprocess/RecordingEdit.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"
#include "audio/WavRepair.h"

#include <QBuffer>

namespace {

// The conversion's message goes to the caller, who shows it once.
class KeptMessage : public AudioMessageSink
{
public:
    void showMessage(const QString& message) override { text = message; }
    QString text;
};

// Checked before any work: a save must never write less audio than the
// file holds, nor fail for a format that cannot be written back.
QString whyNotEditable(const QString& path)
{
    if (const qint64 uncounted = uncountedAudioBytes(path))
        return QStringLiteral("%1 bytes of audio lie beyond what the file's data chunk states; saving would lose "
                              "them, so the file is left as it is")
            .arg(uncounted);
    return whyNotWritableFromPcm8k(path);
}

} // namespace

bool RecordingEdit::open(const QString& path, QString* error)
{
    m_path = path;
    m_audio.clear();
    try {
        if (const QString why = whyNotEditable(path); !why.isEmpty()) {
            *error = why;
            return false;
        }
    } catch (const EACMError&) {
        // not readable at all: the conversion below says so, as it always has
    }
    QBuffer stream(&m_audio);
    stream.open(QIODevice::WriteOnly);
    KeptMessage kept;
    try {
        if (WavToPcm8k(path, stream, &kept))
            return true;
        *error = kept.text;
    } catch (const EACMError& e) {
        *error = e.message();
    }
    m_audio.clear();
    return false;
}

bool RecordingEdit::save(QString* error)
{
    QBuffer stream(&m_audio);
    stream.open(QIODevice::ReadOnly);
    try {
        if (Pcm8kToWav(m_path, stream))
            return true;
    } catch (const EACMError& e) {
        *error = QStringLiteral("Error was created during ") + m_path + QStringLiteral(" file saving: ") + e.message();
        return false;
    }
    *error = QStringLiteral("Error was created during ") + m_path + QStringLiteral(" file saving");
    return false;
}
