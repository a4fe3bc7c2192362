#pragma once

#include "AudioConvertor.h"
#include "AudioDevices.h"

#include <QObject>
#include <QSaveFile>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QFile;
class QIODevice;
class TdeRIFFAudioReader;
class TdeRIFFAudioWriter;
class TdeSubStream;

using TOnPCMConverted = std::function<void(QObject* sender, const void* data, qint64 size)>;

// Plays a WAV file of any format the codec layer reads on the sound card,
// a quarter of a second at a time, five blocks ahead; reports the end once.
class TQAudioPlayer : public QObject
{
    Q_OBJECT
public:
    explicit TQAudioPlayer(QObject* parent = nullptr);
    ~TQAudioPlayer() override;

    QString FileName;
    std::function<void(TQAudioPlayer* sender)> OnAudioCompleted;
    TOnPCMConverted OnPCMConveted; // the file as 8 kHz 8-bit mono, as it plays
    // Playing stopped by itself on an error (the card gone, a damaged file).
    std::function<void(TQAudioPlayer* sender, const QString& message)> OnError;

    // From the first audio byte, or from startMs (the media player's seek).
    // Raises the file, reader, conversion and device errors after Stop.
    void Play(qint64 startMs = 0);
    // Stops and releases the file; waits until the card has given back its
    // buffers. Safe when stopped.
    void Stop();
    bool Stopped() const { return m_stopped; }

    TdeAudioConvertor& PlayConvert() { return m_playConvert; }
    TdeAudioOut& device() { return m_out; }
    // Where playback has got to: the start plus what the card has played.
    qint64 playedMs() const;
    // The audio of FileName, in ms; 0 while stopped.
    qint64 lengthMs() const;

private:
    void readNextBlock();
    bool sourceLeft() const;
    void sourceEnded();
    void bufferPlayed();
    void complete();

    TdeAudioOut m_out;
    TdeAudioConvertor m_playConvert;
    TdeAudioConvertor m_pcmConvert;
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<TdeRIFFAudioReader> m_reader;
    TdeSubStream* m_track = nullptr; // the reader's
    std::vector<char> m_block;       // reused for every read
    qint64 m_blockSize = 0;
    qint64 m_startMs = 0;
    bool m_stopped = true;
    bool m_completed = false;
};

// Records from the sound card into a WAV file of a chosen format, with the
// audio also as 8 kHz 8-bit mono while it is recorded. The file is written
// beside its name and takes it at Stop only when audio was recorded, so a
// failed or empty recording never destroys the greeting that was there.
class TQAudioRecorder : public QObject
{
    Q_OBJECT
public:
    explicit TQAudioRecorder(QObject* parent = nullptr);
    ~TQAudioRecorder() override;

    TdeWaveFormat WavFormat;     // of the file
    TdeWaveFormat AudioInFormat; // what the card records
    QString FileName;
    bool SaveToFile = true;
    TOnPCMConverted On8BitPCMConveted;
    std::function<void(TQAudioRecorder* sender, const QString& message)> OnError;

    // Raises the file, conversion and device errors after Stop.
    void Start();
    // Ends the recording; the file takes its name when audio was written.
    // False when the file could not be completed.
    bool Stop();
    bool Stopped() const { return m_stopped; }
    // Audio bytes written to the file so far.
    qint64 bytesWritten() const;

    TdeAudioIn& device() { return m_in; }

private:
    void bufferRecorded(const void* data, qint64 size);

    TdeAudioIn m_in;
    TdeAudioConvertor m_fileConvert;
    TdeAudioConvertor m_pcmConvert;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<TdeRIFFAudioWriter> m_writer;
    bool m_stopped = true;
};

// Plays a memory stream of standard 8 kHz PCM, 2048 bytes at a time, five
// blocks ahead; calls back at the end.
class TRawDataPlayer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 BlockSize = 2048;

    explicit TRawDataPlayer(QObject* parent = nullptr);
    ~TRawDataPlayer() override;

    void Play(QIODevice* stream);
    // Closes the output; no callback.
    void Stop();
    bool Playing() const { return m_playing; }
    std::function<void(TRawDataPlayer* sender)> OnCompleted;
    std::function<void(TRawDataPlayer* sender, const QString& message)> OnError;
    TdeAudioOut& device() { return m_out; }

private:
    void queueNext();
    void bufferPlayed();
    void finish();

    TdeAudioOut m_out;
    QIODevice* m_stream = nullptr;
    char m_block[BlockSize];
    bool m_playing = false;
};
