#pragma once

#include "AudioChain.h"
#include "BufferFifo.h"
#include "WaveFormat.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class SoundInputStream;
class SoundOutputStream;

// One block of a device's pool: the data and how much of it holds audio.
struct AudioBuffer
{
    std::vector<char> data; // its size is the block's capacity
    qint64 length = 0;      // bytes of audio (recorded so far, for input)
    qint64 end = 0;         // output: the stream offset just past it
};

// Blocks are taken and given back; a request takes a free block of exactly
// its size, else the free block with the least excess below its size, else
// a new one. Emptied at each Open and Close.
class AudioBufferPool
{
public:
    AudioBuffer* take(qint64 size);
    void give(AudioBuffer* buffer);
    void clear();
    // Changes at each clear(): a buffer taken before is gone.
    quint64 generation() const { return m_generation; }
    size_t blocks() const { return m_all.size(); }

private:
    std::vector<std::unique_ptr<AudioBuffer>> m_all;
    std::vector<AudioBuffer*> m_free;
    quint64 m_generation = 0;
};

// What a sound card's entry in the device list says of it.
class TdeAudioDevice
{
public:
    int deviceNumber = 0; // index in the device list
    quint16 driverVersion = 0x0100;
    quint16 manufacturerId = 0;
    quint16 productId = 0;
    quint16 channels = 2;
    QString name; // at most 31 characters
};

class TdeAudioInDevice : public TdeAudioDevice
{
};

class TdeAudioOutDevice : public TdeAudioDevice
{
public:
    enum Capability : quint32 { Pitch = 1, PlaybackRate = 2, Volume = 4, LeftRightVolume = 8, Sync = 16,
                                SampleAccurate = 32, DirectAccess = 64 };
    quint32 capabilities = Volume | LeftRightVolume; // the gain is applied in software on every device
    // Both channels of this device to the value (0..65535); raises
    // EACMDeviceOutError "This device does not support volume control."
    // without the volume capability.
    void SetVolume(quint16 value) const;
};

// The output and input devices, numbered from 0 in the order of the
// platform's device list (the virtual device last); built at first use.
const std::vector<TdeAudioOutDevice>& audioOutDevices();
const std::vector<TdeAudioInDevice>& audioInDevices();
// The gain a device's samples get: 65535 plays them as they are.
quint16 deviceVolume(int deviceNumber);

using TBufferEvent = std::function<void(class TdeAudioIO* sender, const void* data, qint64 size)>;
using TNotifyEvent = std::function<void(class TdeAudioIO* sender)>;

// What both devices share: opening and closing, the format, the pool, and
// the notification sink, a timer on the creating thread that passes
// finished buffers on, one at a time, in the order they finish.
class TdeAudioIO : public QObject, public TdeAudioComponent
{
    Q_OBJECT
public:
    // The platform's default device: a real card when there is one, else
    // the virtual device.
    static constexpr int DefaultDevice = -1;

    explicit TdeAudioIO(QObject* parent = nullptr);
    ~TdeAudioIO() override;

    bool active() const { return m_active; }
    void Open();
    void Close();
    void setActive(bool on) { on ? Open() : Close(); }
    bool AutoOpen = true;
    TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    // The device closed itself while running (gone, or a handler failed).
    std::function<void(TdeAudioIO* sender, const QString& message)> OnDeviceError;

    quint8 bufferCount() const { return m_bufferCount; }
    virtual void setBufferCount(quint8 count) { m_bufferCount = count; }
    const TdeWaveFormat& format() const { return m_format; }
    void setFormat(const TdeWaveFormat& format) { m_format = format; }
    int deviceNumber() const { return m_deviceNumber; }
    void setDeviceNumber(int number) { m_deviceNumber = number; }

protected:
    virtual void doOpen() = 0;
    virtual void doClose() = 0;
    virtual void pump() = 0;
    void fail(const QString& message);

    AudioBufferPool m_pool;
    quint8 m_bufferCount = 0;

private:
    void runPump();

    bool m_active = false;
    TdeWaveFormat m_format;
    int m_deviceNumber = DefaultDevice;
    QTimer m_pump;
};

// Playback. Observes its audio source and queues what it converts; holds
// the first BufferCount blocks back (pre-roll) and then writes them with
// the next; publishes every played block to its own observers.
class TdeAudioOut : public TdeAudioIO, public IdeAudioSubject, public IdeAudioObserver
{
    Q_OBJECT
public:
    explicit TdeAudioOut(QObject* parent = nullptr);
    ~TdeAudioOut() override;

    // Raises EACMAudioIOError "Cannot perform this action while not active."
    // when closed. A block of 0 bytes is ignored.
    void Queue(const void* data, qint64 size);
    // The source has no more: the blocks held for the pre-roll are written
    // now, so audio shorter than the pre-roll is heard too.
    void Flush();
    quint32 maximumBuffers() const { return m_maximumBuffers; }
    void setMaximumBuffers(quint32 count);
    quint32 inFlight() const { return m_inFlight; }
    // Bytes the card has played since the device opened.
    qint64 playedBytes() const;
    TBufferEvent OnAudioPlayed;

    TdeWaveFormat getFormat() const override { return format(); }
    void audioData(IdeAudioSubject* subject, const void* data, qint64 size) override;

protected:
    void doOpen() override;
    void doClose() override;
    void pump() override;

private:
    void write(AudioBuffer* buffer);
    void feed();
    void finished(AudioBuffer* buffer);
    void applyGain(AudioBuffer& buffer) const;

    quint32 m_maximumBuffers = 0;
    quint32 m_inFlight = 0;
    quint8 m_prerollLeft = 0;
    quint16 m_gain = 65535;
    int m_volumeDevice = DefaultDevice;
    std::unique_ptr<SoundOutputStream> m_stream;
    BufferFifo m_held;
    BufferFifo m_queued;  // written, not yet reported played
    size_t m_feedIndex = 0;             // the first queued buffer not wholly handed over
    qint64 m_feedOffset = 0;
    qint64 m_written = 0;               // bytes of all buffers written
};

// Recording into BufferCount buffers that circulate for the whole recording:
// each full one is published to the observers and OnAudioRecorded, then
// queued again.
class TdeAudioIn : public TdeAudioIO, public IdeAudioSubject
{
    Q_OBJECT
public:
    explicit TdeAudioIn(QObject* parent = nullptr);
    ~TdeAudioIn() override;

    // Below 2 raises EACMAudioIOError "Invalid input buffer size.".
    void setBufferCount(quint8 count) override;
    quint32 bufferSize() const { return m_bufferSize; }
    // Raises EACMAudioIOError "Cannot perform this action while active." when open.
    void setBufferSize(quint32 bytes);
    bool AutoAdjustBufferSize = true;
    TBufferEvent OnAudioRecorded;

    TdeWaveFormat getFormat() const override { return format(); }

protected:
    void doOpen() override;
    void doClose() override;
    void pump() override;

private:
    quint32 m_bufferSize = 22050;
    std::unique_ptr<SoundInputStream> m_stream;
    BufferFifo m_queued;
};
