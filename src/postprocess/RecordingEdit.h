#pragma once

#include <QByteArray>
#include <QString>

// A recording opened for post-processing: its audio as 8 kHz 8-bit unsigned
// mono in memory, written back into the file in the file's own format.
class RecordingEdit
{
public:
    // False with *error when the file cannot be read or converted.
    bool open(const QString& path, QString* error);
    // Replaces the file crash-safely; false (the file untouched) on failure.
    bool save(QString* error);

    const QString& path() const { return m_path; }
    const QByteArray& audio() const { return m_audio; }
    uint8_t* data() { return reinterpret_cast<uint8_t*>(m_audio.data()); }
    size_t size() const { return size_t(m_audio.size()); }

private:
    QString m_path;
    QByteArray m_audio;
};
