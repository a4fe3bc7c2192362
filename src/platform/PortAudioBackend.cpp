// PortAudio: the system's sound cards. Its callbacks run on PortAudio's own
// threads; they never allocate or lock and only move bytes through a ring.
#include "SoundBackend.h"

#include "platform/ByteRing.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

namespace {

// ALSA reports every device it probes and fails to open on stderr; what
// matters reaches the user as PortAudio's own error.
extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// JACK prints its failed attempt to reach a sound server while PortAudio
// starts; with none running that is not an error, so stderr is muted then.
class MutedStderr
{
public:
    MutedStderr() : m_saved(::dup(STDERR_FILENO))
    {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~MutedStderr()
    {
        if (m_saved < 0)
            return;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    MutedStderr(const MutedStderr&) = delete;
    MutedStderr& operator=(const MutedStderr&) = delete;

private:
    int m_saved;
};

bool initialisePortAudio()
{
    snd_lib_error_set_handler(quietAlsa);
    qputenv("JACK_NO_START_SERVER", "1"); // a call recorder must not launch a sound server
    const MutedStderr muted;
    return Pa_Initialize() == paNoError;
}

// The ring between the device and the callback: half a second.
constexpr double RingSeconds = 0.5;

PaSampleFormat sampleFormat(const SoundFormat& f)
{
    return f.bits == 8 ? paUInt8 : paInt16;
}

QString paText(PaError error)
{
    return QString::fromUtf8(Pa_GetErrorText(error));
}

// One open stream of either direction.
class PaStreamBase
{
public:
    explicit PaStreamBase(const SoundFormat& format)
        : m_format(format), m_ring(size_t(format.bytesPerSecond() * RingSeconds))
    {
    }
    virtual ~PaStreamBase() { close(); }

    // Called by the derived destructors first: the callback, a virtual of
    // theirs, must not run once they are gone.
    void close()
    {
        if (!m_stream)
            return;
        m_closing = true;
        Pa_AbortStream(m_stream);
        Pa_CloseStream(m_stream);
        m_stream = nullptr;
    }

    // Opens and starts; 0, or a result code with `detail`.
    int open(int device, bool output, QString& detail)
    {
        PaStreamParameters params{};
        params.device = device;
        params.channelCount = m_format.channels;
        params.sampleFormat = sampleFormat(m_format);
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info)
            return 2;
        params.suggestedLatency = output ? info->defaultHighOutputLatency : info->defaultHighInputLatency;
        const PaStreamParameters* in = output ? nullptr : &params;
        const PaStreamParameters* out = output ? &params : nullptr;
        if (Pa_IsFormatSupported(in, out, m_format.rate) != paFormatIsSupported) {
            detail = QStringLiteral("%1 does not take %2 Hz, %3 bits, %4 channels")
                         .arg(QString::fromUtf8(info->name))
                         .arg(m_format.rate)
                         .arg(m_format.bits)
                         .arg(m_format.channels);
            return 32;
        }
        PaError error = Pa_OpenStream(&m_stream, in, out, m_format.rate, paFramesPerBufferUnspecified, paClipOff,
                                      &PaStreamBase::callback, this);
        if (error == paNoError) {
            Pa_SetStreamFinishedCallback(m_stream, &PaStreamBase::finished);
            error = Pa_StartStream(m_stream);
        }
        if (error != paNoError) {
            detail = paText(error);
            return 1;
        }
        return 0;
    }

    bool streamFailed() const { return m_failed.load(); }

protected:
    virtual void onCallback(const void* input, void* output, unsigned long frames) = 0;

    SoundFormat m_format;
    ByteRing m_ring;

private:
    static int callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self)
    {
        static_cast<PaStreamBase*>(self)->onCallback(input, output, frames);
        return paContinue;
    }
    static void finished(void* self)
    {
        auto* stream = static_cast<PaStreamBase*>(self);
        if (!stream->m_closing.load())
            stream->m_failed = true; // it stopped by itself: the card is gone
    }

    PaStream* m_stream = nullptr;
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_failed{false};
};

class PaOutput : public SoundOutputStream, public PaStreamBase
{
public:
    using PaStreamBase::PaStreamBase;
    ~PaOutput() override { close(); }

    qint64 write(const char* data, qint64 size) override
    {
        if (streamFailed())
            return -1;
        return qint64(m_ring.write(data, size_t(size)));
    }
    qint64 playedBytes() const override { return m_played.load(); }
    bool failed() const override { return streamFailed(); }

protected:
    void onCallback(const void*, void* output, unsigned long frames) override
    {
        const size_t wanted = frames * size_t(m_format.frameBytes());
        auto* out = static_cast<char*>(output);
        const size_t got = m_ring.read(out, wanted);
        std::memset(out + got, m_format.bits == 8 ? 0x80 : 0, wanted - got); // an underrun plays silence
        m_played += qint64(got);
    }

private:
    std::atomic<qint64> m_played{0};
};

class PaInput : public SoundInputStream, public PaStreamBase
{
public:
    using PaStreamBase::PaStreamBase;
    ~PaInput() override { close(); }

    qint64 read(char* data, qint64 max) override
    {
        if (streamFailed())
            return -1;
        return qint64(m_ring.read(data, size_t(max)));
    }
    bool failed() const override { return streamFailed(); }

protected:
    void onCallback(const void* input, void*, unsigned long frames) override
    {
        if (input) // what does not fit is lost, as on a card nobody reads
            m_ring.write(static_cast<const char*>(input), frames * size_t(m_format.frameBytes()));
    }
};

class PortAudioBackend : public SoundBackend
{
public:
    // Never terminated: the library is the process's for its lifetime.
    PortAudioBackend() : m_ready(initialisePortAudio()) {}

    QString name() const override { return QStringLiteral("portaudio"); }
    bool isReal() const override { return true; }

    std::vector<SoundDeviceInfo> devices() override
    {
        std::vector<SoundDeviceInfo> all;
        if (!m_ready)
            return all;
        const int count = Pa_GetDeviceCount();
        for (int i = 0; i < count; ++i) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
            if (!info)
                continue;
            SoundDeviceInfo d;
            d.name = QString::fromUtf8(info->name);
            d.inputChannels = info->maxInputChannels;
            d.outputChannels = info->maxOutputChannels;
            d.defaultInput = i == Pa_GetDefaultInputDevice();
            d.defaultOutput = i == Pa_GetDefaultOutputDevice();
            all.push_back(d);
        }
        return all;
    }

    std::unique_ptr<SoundOutputStream> openOutput(int device, const SoundFormat& format, int& result,
                                                  QString& detail) override
    {
        return openStream<PaOutput>(device, format, true, result, detail);
    }
    std::unique_ptr<SoundInputStream> openInput(int device, const SoundFormat& format, int& result,
                                                QString& detail) override
    {
        return openStream<PaInput>(device, format, false, result, detail);
    }

private:
    template <typename Stream>
    std::unique_ptr<Stream> openStream(int device, const SoundFormat& format, bool output, int& result,
                                       QString& detail)
    {
        if (!m_ready || device < 0 || device >= Pa_GetDeviceCount()) {
            result = 2;
            return nullptr;
        }
        auto stream = std::make_unique<Stream>(format);
        result = stream->open(device, output, detail);
        return result == 0 ? std::move(stream) : nullptr;
    }

    bool m_ready;
};

} // namespace

std::shared_ptr<SoundBackend> portAudioBackend()
{
    static const std::shared_ptr<SoundBackend> backend = std::make_shared<PortAudioBackend>();
    return backend;
}
