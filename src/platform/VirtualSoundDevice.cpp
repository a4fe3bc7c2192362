#include "SoundBackend.h"

#include "platform/ByteRing.h"

#include <QElapsedTimer>
#include <cmath>

namespace {

// What the virtual card buffers, like a real one: a tenth of a second.
constexpr double BufferSeconds = 0.1;

// Bytes a stream may move by now at the device's speed; all it is offered
// at speed 0.
class Pace
{
public:
    Pace(const SoundFormat& format, double speed) : m_format(format), m_speed(speed) { m_clock.start(); }

    qint64 allowance(qint64 wanted)
    {
        if (m_speed <= 0)
            return wanted;
        const double now = double(m_clock.nsecsElapsed()) / 1e9;
        m_credit = std::min(m_credit + (now - m_last) * m_format.bytesPerSecond() * m_speed,
                            double(m_format.bytesPerSecond())); // no burst after a stall
        m_last = now;
        const qint64 frames = qint64(m_credit) / m_format.frameBytes();
        return std::min(wanted, frames * m_format.frameBytes());
    }
    void used(qint64 bytes) { m_credit = std::max(0.0, m_credit - double(bytes)); }
    // Time passes without anything to play: it does not come back later.
    void idle() { m_credit = 0; }

private:
    SoundFormat m_format;
    double m_speed;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_credit = 0;
};

class VirtualOutput : public SoundOutputStream
{
public:
    VirtualOutput(VirtualSoundDevice& device, const SoundFormat& format)
        : m_device(device), m_format(format), m_pace(format, device.speed()),
          m_ring(size_t(std::max(4096.0, format.bytesPerSecond() * BufferSeconds)))
    {
    }

    qint64 write(const char* data, qint64 size) override
    {
        advance();
        if (failed())
            return -1;
        const qint64 n = qint64(m_ring.write(data, size_t(size)));
        advance();
        return n;
    }

    qint64 playedBytes() const override
    {
        const_cast<VirtualOutput*>(this)->advance();
        return m_played;
    }

    bool failed() const override { return m_device.failAfter() >= 0 && m_played >= m_device.failAfter(); }

private:
    void advance()
    {
        if (failed())
            return;
        qint64 allowed = m_pace.allowance(qint64(m_ring.readable()));
        if (m_device.failAfter() >= 0)
            allowed = std::min(allowed, m_device.failAfter() - m_played);
        char chunk[4096];
        while (allowed > 0) {
            const qint64 n = qint64(m_ring.read(chunk, size_t(std::min<qint64>(allowed, sizeof chunk))));
            if (n == 0)
                break;
            m_device.played(chunk, n, m_format);
            m_pace.used(n);
            m_played += n;
            allowed -= n;
        }
        if (m_ring.readable() == 0)
            m_pace.idle();
    }

    VirtualSoundDevice& m_device;
    SoundFormat m_format;
    Pace m_pace;
    ByteRing m_ring;
    qint64 m_played = 0;
};

class VirtualInput : public SoundInputStream
{
public:
    VirtualInput(VirtualSoundDevice& device, const SoundFormat& format)
        : m_device(device), m_format(format), m_pace(format, device.speed())
    {
    }

    qint64 read(char* data, qint64 max) override
    {
        if (failed())
            return -1;
        qint64 n = m_pace.allowance(max);
        if (m_device.failAfter() >= 0)
            n = std::min(n, m_device.failAfter() - m_recorded);
        const qint64 given = m_device.takeInput(data, n);
        std::memset(data + given, m_format.bits == 8 ? 0x80 : 0, size_t(n - given)); // then silence
        m_pace.used(n);
        m_recorded += n;
        return n;
    }

    bool failed() const override { return m_device.failAfter() >= 0 && m_recorded >= m_device.failAfter(); }

private:
    VirtualSoundDevice& m_device;
    SoundFormat m_format;
    Pace m_pace;
    qint64 m_recorded = 0;
};

} // namespace

std::shared_ptr<VirtualSoundDevice> VirtualSoundDevice::instance()
{
    static const std::shared_ptr<VirtualSoundDevice> device = std::make_shared<VirtualSoundDevice>();
    return device;
}

std::vector<SoundDeviceInfo> VirtualSoundDevice::devices()
{
    SoundDeviceInfo info;
    info.name = QStringLiteral("virtual");
    info.inputChannels = 2;
    info.outputChannels = 2;
    return {info};
}

namespace {

// 0 when the device and format can be opened, else the result code.
int checkOpen(int device, const SoundFormat& format, const char* verb, QString& detail)
{
    if (device != 0)
        return 2;
    if ((format.bits != 8 && format.bits != 16) || format.channels < 1 || format.channels > 2 || format.rate <= 0) {
        detail = QStringLiteral("the virtual device %1 8 or 16-bit PCM of one or two channels").arg(QLatin1String(verb));
        return 32;
    }
    return 0;
}

} // namespace

std::unique_ptr<SoundOutputStream> VirtualSoundDevice::openOutput(int device, const SoundFormat& format, int& result,
                                                                  QString& detail)
{
    result = checkOpen(device, format, "plays", detail);
    return result == 0 ? std::make_unique<VirtualOutput>(*this, format) : nullptr;
}

std::unique_ptr<SoundInputStream> VirtualSoundDevice::openInput(int device, const SoundFormat& format, int& result,
                                                                QString& detail)
{
    result = checkOpen(device, format, "records", detail);
    return result == 0 ? std::make_unique<VirtualInput>(*this, format) : nullptr;
}

QByteArray VirtualSoundDevice::takePlayed(SoundFormat* format)
{
    if (format)
        *format = m_playedFormat;
    return std::exchange(m_played, {});
}

void VirtualSoundDevice::played(const char* data, qint64 size, const SoundFormat& format)
{
    m_playedFormat = format;
    if (m_keepPlayed)
        m_played.append(data, size);
}

qint64 VirtualSoundDevice::takeInput(char* out, qint64 size)
{
    const qint64 n = std::clamp<qint64>(m_input.size() - m_inputAt, 0, size);
    std::memcpy(out, m_input.constData() + m_inputAt, size_t(n));
    m_inputAt += n;
    return n;
}
