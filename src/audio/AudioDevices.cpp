#include "AudioDevices.h"

#include "AudioErrors.h"
#include "CodecResult.h"

#include "platform/SoundBackend.h"

#include <QMutex>
#include <algorithm>
#include <cstring>
#include <map>
#include <new>

namespace {

// How often finished buffers are looked for: well under a buffer's length.
constexpr int PumpIntervalMs = 5;

std::optional<SoundDevice> findDevice(int number, bool output)
{
    if (number == TdeAudioIO::DefaultDevice)
        return defaultSoundDevice(output);
    const std::vector<SoundDevice> all = soundDevices();
    if (number < 0 || size_t(number) >= all.size())
        return std::nullopt;
    const SoundDevice& d = all[size_t(number)];
    if ((output ? d.info.outputChannels : d.info.inputChannels) <= 0)
        return std::nullopt;
    return d;
}

// The cards take plain PCM only; the players convert to it first.
std::optional<SoundFormat> soundFormat(const TdeWaveFormat& f)
{
    if (f.formatTag() != WaveTag::Pcm || (f.bitsPerSample() != 8 && f.bitsPerSample() != 16)
        || (f.channels() != 1 && f.channels() != 2) || f.samplesPerSec() == 0)
        return std::nullopt;
    return SoundFormat{int(f.samplesPerSec()), f.channels(), f.bitsPerSample()};
}

struct Volumes
{
    QMutex mutex;
    std::map<int, quint16> byDevice;
};

Volumes& volumes()
{
    static Volumes v;
    return v;
}

template <typename Device>
std::vector<Device> deviceList(bool output)
{
    std::vector<Device> list;
    const std::vector<SoundDevice> all = soundDevices();
    for (size_t i = 0; i < all.size(); ++i) {
        const int channels = output ? all[i].info.outputChannels : all[i].info.inputChannels;
        if (channels <= 0)
            continue;
        Device d;
        d.deviceNumber = int(i);
        d.channels = quint16(std::min(channels, 0xFFFF));
        d.name = all[i].info.name.left(31);
        list.push_back(d);
    }
    return list;
}

} // namespace

// --- The pool ------------------------------------------------------------------------

AudioBuffer* AudioBufferPool::take(qint64 size)
{
    AudioBuffer* best = nullptr;
    for (AudioBuffer* b : m_free) {
        const qint64 excess = qint64(b->data.size()) - size;
        if (excess == 0) {
            best = b;
            break;
        }
        if (excess > 0 && excess < size && (!best || qint64(best->data.size()) > qint64(b->data.size())))
            best = b;
    }
    if (best) {
        std::erase(m_free, best);
        best->length = 0;
        return best;
    }
    try {
        auto block = std::make_unique<AudioBuffer>();
        block->data.resize(size_t(size));
        m_all.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        throw EACMAudioOutError(QStringLiteral("Cannot allocate global memory."));
    }
    return m_all.back().get();
}

void AudioBufferPool::give(AudioBuffer* buffer)
{
    m_free.push_back(buffer);
}

void AudioBufferPool::clear()
{
    m_free.clear();
    m_all.clear();
    ++m_generation;
}

// --- The device list -------------------------------------------------------------------

const std::vector<TdeAudioOutDevice>& audioOutDevices()
{
    static const std::vector<TdeAudioOutDevice> list = deviceList<TdeAudioOutDevice>(true);
    return list;
}

const std::vector<TdeAudioInDevice>& audioInDevices()
{
    static const std::vector<TdeAudioInDevice> list = deviceList<TdeAudioInDevice>(false);
    return list;
}

void TdeAudioOutDevice::SetVolume(quint16 value) const
{
    if (!(capabilities & Volume))
        throw EACMDeviceOutError(QStringLiteral("This device does not support volume control."));
    QMutexLocker lock(&volumes().mutex);
    volumes().byDevice[deviceNumber] = value;
}

quint16 deviceVolume(int deviceNumber)
{
    QMutexLocker lock(&volumes().mutex);
    const auto found = volumes().byDevice.find(deviceNumber);
    return found == volumes().byDevice.end() ? 65535 : found->second;
}

// --- Common --------------------------------------------------------------------------

TdeAudioIO::TdeAudioIO(QObject* parent) : QObject(parent)
{
    m_pump.setInterval(PumpIntervalMs);
    m_pump.setTimerType(Qt::PreciseTimer);
    connect(&m_pump, &QTimer::timeout, this, &TdeAudioIO::runPump);
}

TdeAudioIO::~TdeAudioIO() = default;

void TdeAudioIO::Open()
{
    if (m_active)
        return;
    m_pool.clear();
    if (BeforeOpen)
        BeforeOpen(this);
    doOpen(); // a failure leaves the device closed
    m_active = true;
    m_pump.start();
    if (AfterOpen)
        AfterOpen(this);
}

void TdeAudioIO::Close()
{
    if (!m_active)
        return;
    if (BeforeClose)
        BeforeClose(this);
    m_pump.stop();
    doClose();
    m_pool.clear();
    m_active = false;
    if (AfterClose)
        AfterClose(this);
}

// A failure inside the sink (the card gone, a handler's error) cannot reach
// a caller: the device closes and says why.
void TdeAudioIO::runPump()
{
    try {
        pump();
    } catch (const std::exception& e) {
        fail(QString::fromUtf8(e.what()));
    }
}

void TdeAudioIO::fail(const QString& message)
{
    Close();
    if (OnDeviceError)
        OnDeviceError(this, message);
}

// --- Output ------------------------------------------------------------------------

TdeAudioOut::TdeAudioOut(QObject* parent) : TdeAudioIO(parent) {}

TdeAudioOut::~TdeAudioOut()
{
    Close();
}

void TdeAudioOut::setMaximumBuffers(quint32 count)
{
    if (active())
        throw EACMAudioIOError(QStringLiteral("Cannot perform this action while active."));
    m_maximumBuffers = count;
}

void TdeAudioOut::doOpen()
{
    m_inFlight = 0;
    m_prerollLeft = m_bufferCount;
    m_written = 0;
    m_feedIndex = 0;
    m_feedOffset = 0;
    const QString prefix = QStringLiteral("Error opening audio device for output.");
    const std::optional<SoundDevice> device = findDevice(deviceNumber(), true);
    if (!device)
        throw EACMAudioOutError(codecErrorText(CodecResult::BadDeviceId, prefix));
    const std::optional<SoundFormat> format = soundFormat(this->format());
    if (!format)
        throw EACMAudioOutError(codecErrorText(CodecResult::BadFormat, prefix));
    int result = 0;
    QString detail;
    m_stream = device->backend->openOutput(device->index, *format, result, detail);
    if (!m_stream)
        throw EACMAudioOutError(codecErrorText(result, prefix));
    m_volumeDevice = soundDeviceNumber(*device);
    m_gain = deviceVolume(m_volumeDevice);
}

void TdeAudioOut::doClose()
{
    m_stream.reset(); // the card stops at once; what it held is dropped
    m_held.clear();
    m_queued.clear();
    m_inFlight = 0;
}

void TdeAudioOut::audioData(IdeAudioSubject*, const void* data, qint64 size)
{
    if (active())
        Queue(data, size);
}

void TdeAudioOut::Queue(const void* data, qint64 size)
{
    if (!active())
        throw EACMAudioIOError(QStringLiteral("Cannot perform this action while not active."));
    if (size <= 0)
        return;
    if (m_prerollLeft == 0 && m_maximumBuffers > 0 && m_inFlight >= m_maximumBuffers)
        return; // dropped
    AudioBuffer* buffer = m_pool.take(size);
    std::memcpy(buffer->data.data(), data, size_t(size));
    buffer->length = size;
    m_gain = deviceVolume(m_volumeDevice); // a change is heard with the next block, not the next file
    applyGain(*buffer);
    if (m_prerollLeft > 0) {
        m_held.push_back(buffer);
        --m_prerollLeft;
        return;
    }
    Flush();
    write(buffer);
}

void TdeAudioOut::Flush()
{
    if (!active())
        return;
    m_prerollLeft = 0;
    while (!m_held.empty()) {
        AudioBuffer* held = m_held.front();
        m_held.pop_front();
        write(held);
    }
}

qint64 TdeAudioOut::playedBytes() const
{
    return m_stream ? m_stream->playedBytes() : 0;
}

void TdeAudioOut::applyGain(AudioBuffer& b) const
{
    if (m_gain == 65535)
        return;
    if (format().bitsPerSample() == 16) {
        for (qint64 i = 0; i + 1 < b.length; i += 2) {
            qint16 s;
            std::memcpy(&s, b.data.data() + i, 2);
            s = qint16(qint32(s) * m_gain / 65535);
            std::memcpy(b.data.data() + i, &s, 2);
        }
    } else {
        for (qint64 i = 0; i < b.length; ++i) {
            const int s = int(uint8_t(b.data[size_t(i)])) - 128;
            b.data[size_t(i)] = char(s * m_gain / 65535 + 128);
        }
    }
}

void TdeAudioOut::write(AudioBuffer* buffer)
{
    m_written += buffer->length;
    buffer->end = m_written;
    m_queued.push_back(buffer);
    ++m_inFlight;
    feed();
}

// Hands the card what it has room for, buffer by buffer.
void TdeAudioOut::feed()
{
    while (m_stream && m_feedIndex < m_queued.size()) {
        AudioBuffer* b = m_queued[m_feedIndex];
        const qint64 n = m_stream->write(b->data.data() + m_feedOffset, b->length - m_feedOffset);
        if (n < 0)
            throw EACMAudioOutError(QStringLiteral("The audio device stopped playing: it was disconnected."));
        m_feedOffset += n;
        if (m_feedOffset < b->length)
            return;
        ++m_feedIndex;
        m_feedOffset = 0;
    }
}

void TdeAudioOut::pump()
{
    if (m_stream->failed())
        throw EACMAudioOutError(QStringLiteral("The audio device stopped playing: it was disconnected."));
    feed();
    const qint64 played = m_stream->playedBytes();
    while (active() && !m_queued.empty() && m_queued.front()->end <= played) {
        AudioBuffer* b = m_queued.front();
        m_queued.pop_front();
        if (m_feedIndex > 0)
            --m_feedIndex;
        finished(b);
    }
}

void TdeAudioOut::finished(AudioBuffer* buffer)
{
    if (m_inFlight > 0)
        --m_inFlight;
    const quint64 generation = m_pool.generation();
    notifyObservers(buffer->data.data(), buffer->length);
    if (OnAudioPlayed && active())
        OnAudioPlayed(this, buffer->data.data(), buffer->length);
    if (generation == m_pool.generation()) // a handler's Close has freed it already
        m_pool.give(buffer);
}

// --- Input ------------------------------------------------------------------------

TdeAudioIn::TdeAudioIn(QObject* parent) : TdeAudioIO(parent)
{
    m_bufferCount = 4;
}

TdeAudioIn::~TdeAudioIn()
{
    Close();
}

void TdeAudioIn::setBufferCount(quint8 count)
{
    if (count < 2)
        throw EACMAudioIOError(QStringLiteral("Invalid input buffer size."));
    m_bufferCount = count;
}

void TdeAudioIn::setBufferSize(quint32 bytes)
{
    if (active())
        throw EACMAudioIOError(QStringLiteral("Cannot perform this action while active."));
    m_bufferSize = bytes;
}

void TdeAudioIn::doOpen()
{
    const quint16 bits = format().bitsPerSample();
    if (bits != 0) {
        const quint32 frame = quint32(bits / 8) * format().channels();
        if (AutoAdjustBufferSize && frame > 1)
            m_bufferSize -= m_bufferSize % frame;
        if ((quint64(m_bufferSize) * 8) % bits != 0 || m_bufferSize == 0)
            throw EACMAudioInError(QStringLiteral("Invalid input buffer size."));
    }
    const QString prefix = QStringLiteral("Error opening audio device for input.");
    const std::optional<SoundDevice> device = findDevice(deviceNumber(), false);
    if (!device)
        throw EACMAudioInError(codecErrorText(CodecResult::BadDeviceId, prefix));
    const std::optional<SoundFormat> format = soundFormat(this->format());
    if (!format)
        throw EACMAudioInError(codecErrorText(CodecResult::BadFormat, prefix));
    int result = 0;
    QString detail;
    m_stream = device->backend->openInput(device->index, *format, result, detail);
    if (!m_stream)
        throw EACMAudioInError(codecErrorText(result, prefix));
    for (int i = 0; i < m_bufferCount; ++i)
        m_queued.push_back(m_pool.take(m_bufferSize));
}

void TdeAudioIn::doClose()
{
    m_stream.reset();
    m_queued.clear(); // a partly filled buffer is dropped with the recording's end
}

void TdeAudioIn::pump()
{
    if (m_stream->failed())
        throw EACMAudioInError(QStringLiteral("The audio device stopped recording: it was disconnected."));
    // Each buffer at most once a round, so a card that delivers faster than
    // real time (or a virtual one at full speed) cannot hold the thread.
    for (size_t round = m_queued.size(); round > 0 && active() && !m_queued.empty(); --round) {
        AudioBuffer* b = m_queued.front();
        const qint64 n = m_stream->read(b->data.data() + b->length, qint64(m_bufferSize) - b->length);
        if (n < 0)
            throw EACMAudioInError(QStringLiteral("The audio device stopped recording: it was disconnected."));
        b->length += n;
        if (b->length < qint64(m_bufferSize))
            return; // no more for now
        m_queued.pop_front();
        const quint64 generation = m_pool.generation();
        notifyObservers(b->data.data(), b->length);
        if (OnAudioRecorded && active())
            OnAudioRecorded(this, b->data.data(), b->length);
        if (!active() || generation != m_pool.generation())
            return;
        b->length = 0; // the same buffers circulate for the whole recording
        m_queued.push_back(b);
    }
}
