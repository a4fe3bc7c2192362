#include "notify/OpusAttachment.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"

#include <QFile>
#include <QIODevice>
#include <memory>
#include <opus/opusenc.h>
#include <vector>

namespace {

constexpr int Rate = 8000; // what WavToPcm8k hands on: 8-bit unsigned mono

struct EncoderDeleter
{
    void operator()(OggOpusEnc* e) const { ope_encoder_destroy(e); }
};
struct CommentsDeleter
{
    void operator()(OggOpusComments* c) const { ope_comments_destroy(c); }
};

// Takes the converted audio as it comes, a quarter of a second at a time,
// so a long message never sits in memory.
class OpusSink : public QIODevice
{
public:
    explicit OpusSink(OggOpusEnc* encoder) : m_encoder(encoder) { open(QIODevice::WriteOnly); }
    int status() const { return m_status; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        m_samples.resize(size_t(size));
        for (qint64 i = 0; i < size; ++i)
            m_samples[size_t(i)] = opus_int16((int(uchar(data[i])) - 128) << 8);
        m_status = ope_encoder_write(m_encoder, m_samples.data(), int(size));
        return m_status == OPE_OK ? size : -1;
    }

private:
    OggOpusEnc* m_encoder;
    std::vector<opus_int16> m_samples;
    int m_status = OPE_OK;
};

class QuietMessages : public AudioMessageSink
{
public:
    void showMessage(const QString& text) override { last = text; }
    QString last;
};

} // namespace

namespace opusattachment {

bool encode(const QString& wavPath, const QString& outPath, QString* error)
{
    const QString partPath = outPath + QStringLiteral(".part");
    int status = OPE_OK;
    std::unique_ptr<OggOpusComments, CommentsDeleter> comments(ope_comments_create());
    std::unique_ptr<OggOpusEnc, EncoderDeleter> encoder(
        ope_encoder_create_file(QFile::encodeName(partPath).constData(), comments.get(), Rate, 1, 0, &status));
    if (!encoder) {
        *error = QStringLiteral("Cannot write %1: %2").arg(partPath, QString::fromUtf8(ope_strerror(status)));
        return false;
    }
    ope_encoder_ctl(encoder.get(), OPUS_SET_BITRATE(BitsPerSecond));
    ope_encoder_ctl(encoder.get(), OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
    OpusSink sink(encoder.get());
    QuietMessages messages;
    bool converted = false;
    try {
        converted = WavToPcm8k(wavPath, sink, &messages);
    } catch (const EACMError& e) {
        messages.last = e.message();
    }
    if (converted)
        status = ope_encoder_drain(encoder.get());
    encoder.reset();
    if (!converted || status != OPE_OK || sink.status() != OPE_OK) {
        QFile::remove(partPath);
        *error = converted ? QString::fromUtf8(ope_strerror(status == OPE_OK ? sink.status() : status)) : messages.last;
        return false;
    }
    QFile::remove(outPath);
    if (!QFile::rename(partPath, outPath)) {
        QFile::remove(partPath);
        *error = QStringLiteral("Cannot write %1").arg(outPath);
        return false;
    }
    return true;
}

} // namespace opusattachment
