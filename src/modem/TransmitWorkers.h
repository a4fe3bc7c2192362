#pragma once

#include "audio/WaveFormat.h"

#include <QByteArray>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <vector>

class TQVModem253;

// What a transmit worker needs of the line, fixed when it starts: the
// modem's own format (what +VSM selected) and whether 8-bit samples go out
// signed.
struct LineFormat
{
    TdeWaveFormat modem = standardPcm8k();
    bool flipSign = false;
    // Line time runs this many times faster than real time (tests on a
    // fake port, where nothing plays the audio).
    double speed = 1.0;
};

// Sends audio to the line on its own thread, so the main thread's event
// loop keeps carrying the modem's replies. Audio is converted to the
// modem's format, shielded (a data byte 0x10 goes out as DLE DLE) and
// written in pieces paced on the serial port's free space. A worker ends
// with the engine's EndTransmit, also when told to stop; done() is its own
// completion, so no other worker's end can be taken for it.
class TransmitWorker : public QThread
{
    Q_OBJECT
public:
    enum class Kind { Wave, Raw };

    TransmitWorker(TQVModem253& engine, Kind kind, quint64 id, const LineFormat& line);

    Kind kind() const { return m_kind; }
    quint64 id() const { return m_id; }
    void requestStop() { m_stop = true; }
    bool done() const { return m_done.load(); }
    // Bytes written to the port but, at the modem's rate, not yet played.
    qint64 unplayedMs() const;

protected:
    void run() final;
    virtual void work() = 0;

    bool stopRequested() const { return m_stop.load(); }
    // Sends audio already in the modem's format as one write: signs flipped
    // where the modem takes signed 8-bit samples, then shielded. False once
    // the worker must stop or the port is gone.
    bool sendLineBytes(const char* data, qsizetype size);
    // The send step for one shielded string: waits for room, then writes.
    bool sendStep(const QByteArray& bytes);
    void fail(const QString& why);

    TQVModem253& m_engine;
    const LineFormat m_line;

private:
    const Kind m_kind;
    const quint64 m_id;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<qint64> m_sentBytes{0};
    std::vector<char> m_scratch; // flipped and shielded bytes of a piece
    qint64 m_startMs = 0;
    qint64 lineMs() const;
};

// Plays a WAV file of any format the codec layer reads: takes the line into
// the transmit stream itself, reads the file in pieces of 1/16 s.
class Twav2Line : public TransmitWorker
{
    Q_OBJECT
public:
    Twav2Line(TQVModem253& engine, quint64 id, const LineFormat& line, QString fileName, uint8_t mode);

    // The piece read at a time: 1/16 s of the file's format in whole blocks
    // (all that is left when fewer than two pieces remain); 0 when the
    // format gives less than one block a piece.
    static qint64 pieceSize(const TdeWaveFormat& format);

protected:
    void work() override;

private:
    bool startStream();
    void playFile();

    const QString m_fileName;
    const uint8_t m_mode;
};

// Sends 8 kHz 8-bit unsigned audio (rendered speech) into a transmit stream
// the caller has started: whole 1024-byte blocks, then the rest; less than
// one block sends nothing.
class TTransmitRawAsync : public TransmitWorker
{
    Q_OBJECT
public:
    static constexpr qsizetype BlockSize = 1024;

    TTransmitRawAsync(TQVModem253& engine, quint64 id, const LineFormat& line, QByteArray data);

protected:
    void work() override;

private:
    const QByteArray m_data;
};
