#include "postprocess/RecordingEdit.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"

#include <QBuffer>

bool RecordingEdit::open(const QString& path, QString* error)
{
    m_path = path;
    m_audio.clear();
    QBuffer stream(&m_audio);
    stream.open(QIODevice::WriteOnly);
    try {
        if (WavToPcm8k(path, stream, nullptr))
            return true;
        *error = QStringLiteral("Error was created during pcm conversion");
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
