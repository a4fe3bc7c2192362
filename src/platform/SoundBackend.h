#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// The sound cards, as the audio devices see them: streams of bytes in a
// plain PCM format, taken or given as the card plays or records. Backends
// register by name ("portaudio", and "virtual" for machines without sound);
// tests register their own the same way.

struct SoundFormat
{
    int rate = 8000;
    int channels = 1;
    int bits = 16; // 8 (unsigned) or 16 (signed)
    int frameBytes() const { return channels * bits / 8; }
    int bytesPerSecond() const { return rate * frameBytes(); }
};

struct SoundDeviceInfo
{
    QString name;
    int inputChannels = 0;
    int outputChannels = 0;
    bool defaultInput = false;
    bool defaultOutput = false;
};

// Playback: write() takes what fits in the card's buffer; playedBytes()
// counts what the card has played so far. Everything is called from one
// thread, the device's.
class SoundOutputStream
{
public:
    virtual ~SoundOutputStream() = default;
    virtual qint64 write(const char* data, qint64 size) = 0;
    virtual qint64 playedBytes() const = 0;
    // The card went away (a USB headset pulled out) or stopped by itself.
    virtual bool failed() const = 0;
};

// Recording: read() gives what the card has recorded since the last call.
class SoundInputStream
{
public:
    virtual ~SoundInputStream() = default;
    virtual qint64 read(char* data, qint64 max) = 0;
    virtual bool failed() const = 0;
};

class SoundBackend
{
public:
    virtual ~SoundBackend() = default;
    virtual QString name() const = 0;
    // Real sound cards, as opposed to a virtual device.
    virtual bool isReal() const = 0;
    virtual std::vector<SoundDeviceInfo> devices() = 0;
    // `device` is an index of devices(). `result` is 0, or a result code of
    // the sound error table: 2 no such device, 32 format not supported, 1
    // any other failure, with `detail` saying what the backend said.
    virtual std::unique_ptr<SoundOutputStream> openOutput(int device, const SoundFormat& format, int& result,
                                                          QString& detail) = 0;
    virtual std::unique_ptr<SoundInputStream> openInput(int device, const SoundFormat& format, int& result,
                                                        QString& detail) = 0;
};

// The registered backends, PortAudio first and the virtual device last.
void registerSoundBackend(std::shared_ptr<SoundBackend> backend);
std::vector<std::shared_ptr<SoundBackend>> soundBackends();

// One device of the whole list: its backend and its index there.
struct SoundDevice
{
    std::shared_ptr<SoundBackend> backend;
    int index = -1;
    SoundDeviceInfo info;
};
// Every device of every backend, in backend order.
std::vector<SoundDevice> soundDevices();
// The system's default output (input) of a real card; without one, the
// virtual device. None when neither exists.
std::optional<SoundDevice> defaultSoundDevice(bool output);
// Where a device stands in soundDevices(); -1 when it is not there.
int soundDeviceNumber(const SoundDevice& device);
// There is at least one real sound card (the virtual device does not count).
bool haveRealSoundDevice();

// The virtual device: plays and records at `speed` times real time (0: as
// fast as it is fed or read), keeps what it played and records what it is
// given, then silence. For tests and machines without sound.
class VirtualSoundDevice : public SoundBackend
{
public:
    static std::shared_ptr<VirtualSoundDevice> instance();

    QString name() const override { return QStringLiteral("virtual"); }
    bool isReal() const override { return false; }
    std::vector<SoundDeviceInfo> devices() override;
    std::unique_ptr<SoundOutputStream> openOutput(int device, const SoundFormat& format, int& result,
                                                  QString& detail) override;
    std::unique_ptr<SoundInputStream> openInput(int device, const SoundFormat& format, int& result,
                                                QString& detail) override;

    void setSpeed(double speed) { m_speed = speed; }
    double speed() const { return m_speed; }
    // What it "hears" from now on, in the format the input is opened with.
    void setInput(QByteArray audio)
    {
        m_input = std::move(audio);
        m_inputAt = 0;
    }
    // What it played since the last call, and the format it was played in.
    QByteArray takePlayed(SoundFormat* format = nullptr);
    // The device vanishes once this many bytes have passed (-1: never).
    void failAfter(qint64 bytes) { m_failAfter = bytes; }
    // Whether played audio is kept for takePlayed() (off: nothing grows).
    void setKeepPlayed(bool on) { m_keepPlayed = on; }

    // For its streams.
    void played(const char* data, qint64 size, const SoundFormat& format);
    qint64 takeInput(char* out, qint64 size);
    qint64 failAfter() const { return m_failAfter; }

private:
    double m_speed = 1.0;
    QByteArray m_input;
    qint64 m_inputAt = 0;
    QByteArray m_played;
    SoundFormat m_playedFormat;
    qint64 m_failAfter = -1;
    bool m_keepPlayed = true;
};

// PortAudio, initialised once for the process.
std::shared_ptr<SoundBackend> portAudioBackend();
