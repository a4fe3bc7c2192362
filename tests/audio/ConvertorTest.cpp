#include "AudioTestSupport.h"
#include "audio/AudioConvertor.h"
#include "audio/CodecRegistry.h"
#include "audio/CodecResult.h"
#include "audio/G711Codec.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"

#include <gtest/gtest.h>

using namespace audiotest;

namespace {

struct Collected
{
    std::vector<qint64> sizes;
    QByteArray bytes;
};

void collectInto(TdeAudioConvertor& convertor, Collected& out)
{
    convertor.setOnAudioConverted([&out](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        out.sizes.push_back(size);
        out.bytes.append(static_cast<const char*>(data), size);
    });
}

void openConvertor(TdeAudioConvertor& convertor, const TdeWaveFormat& in, const TdeWaveFormat& out)
{
    convertor.setFormatIn(in);
    convertor.setFormatOut(out);
    convertor.open();
}

QString conversionError(TdeAudioConvertor& convertor, const std::function<void()>& action)
{
    try {
        action();
    } catch (const EACMConversionError& e) {
        return e.message();
    }
    return {};
}

// A codec whose PCM form no PCM stream can reach, registered through the same
// door as the real drivers.
class UnreachableCodec : public CodecDriver
{
public:
    static constexpr quint16 Tag = 0x7777;
    quint16 tag() const override { return Tag; }
    QString tagName() const override { return QStringLiteral("Test"); }
    bool isValid(const TdeWaveFormat& f) const override { return f.formatTag() == Tag; }
    bool canConvert(const TdeWaveFormat&, const TdeWaveFormat&) const override { return false; }
    std::unique_ptr<CodecStream> open(const TdeWaveFormat&, const TdeWaveFormat&) const override { return nullptr; }
    std::optional<TdeWaveFormat> suggestPcm(const TdeWaveFormat&) const override { return pcmFormat(96000, 16, 1); }
    std::vector<TdeWaveFormat> formats() const override { return {}; }
};

} // namespace

TEST(Convertor, BuildsTheShortestChainThroughPcm)
{
    const TdeWaveFormat alaw11kStereo = g711Format(WaveTag::ALaw, 11025, 2);
    struct Case
    {
        const char* name;
        TdeWaveFormat in;
        TdeWaveFormat out;
        std::vector<TdeWaveFormat> chain;
    } cases[] = {
        {"direct PCM", standardPcm8k(), pcmFormat(11025, 8, 2), {standardPcm8k(), pcmFormat(11025, 8, 2)}},
        {"mu-law to 8-bit PCM", g711Format(WaveTag::MuLaw, 8000, 1), standardPcm8k(),
         {g711Format(WaveTag::MuLaw, 8000, 1), pcmFormat(8000, 16, 1), standardPcm8k()}},
        {"PCM 44.1 kHz stereo to GSM", pcmFormat(44100, 16, 2), gsmFormat(8000),
         {pcmFormat(44100, 16, 2), pcmFormat(8000, 16, 1), gsmFormat(8000)}},
        {"A-law stereo to GSM", alaw11kStereo, gsmFormat(8000),
         {alaw11kStereo, pcmFormat(11025, 16, 2), pcmFormat(8000, 16, 1), gsmFormat(8000)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TdeAudioConvertor convertor;
        openConvertor(convertor, c.in, c.out);
        ASSERT_EQ(convertor.chainFormats().size(), c.chain.size());
        for (size_t i = 0; i < c.chain.size(); ++i)
            EXPECT_EQ(convertor.chainFormats()[i].formatBuffer().left(18), c.chain[i].formatBuffer().left(18)) << i;
        EXPECT_EQ(convertor.steps().size(), c.chain.size() - 1);
    }
}

TEST(Convertor, ReportsWhyAChainCannotBeBuilt)
{
    TdeAudioConvertor convertor;
    convertor.setFormatIn(standardPcm8k());
    TdeWaveFormat unknown = standardPcm8k();
    unknown.setFormatTag(0x1234);
    convertor.setFormatOut(unknown);
    EXPECT_EQ(conversionError(convertor, [&] { convertor.open(); }),
              QStringLiteral("The selected audio format is not supported on this machine."));
    EXPECT_FALSE(convertor.isActive());

    CodecRegistry::instance().registerDriver(std::make_unique<UnreachableCodec>());
    TdeWaveFormat odd = standardPcm8k();
    odd.setFormatTag(UnreachableCodec::Tag);
    convertor.setFormatIn(odd);
    convertor.setFormatOut(standardPcm8k());
    EXPECT_EQ(conversionError(convertor, [&] { convertor.open(); }), QStringLiteral("Conversion not possible."));
    CodecRegistry::instance().unregisterDriver(UnreachableCodec::Tag);

    // A convertor that failed opens once its formats are right.
    convertor.setFormatIn(g711Format(WaveTag::ALaw, 8000, 1));
    convertor.open();
    EXPECT_TRUE(convertor.isActive());
}

TEST(Convertor, StateRulesAreEnforced)
{
    TdeAudioConvertor convertor;
    EXPECT_EQ(conversionError(convertor, [&] { convertor.convert("x", 1); }),
              QStringLiteral("Cannot perform this action while not active."));
    EXPECT_EQ(conversionError(convertor, [&] { convertor.close(); }),
              QStringLiteral("Cannot perform this action while not active."));
    openConvertor(convertor, standardPcm8k(), pcmFormat(8000, 16, 1));
    EXPECT_EQ(conversionError(convertor, [&] { convertor.open(); }),
              QStringLiteral("Cannot perform this action while active."));
    EXPECT_EQ(conversionError(convertor, [&] { convertor.setRequestRealTime(true); }),
              QStringLiteral("Cannot perform this action while active."));
    convertor.setActive(false);
    EXPECT_FALSE(convertor.isActive());
    EXPECT_TRUE(convertor.chainFormats().empty());
}

TEST(Convertor, TooSmallFirstBlockStaysBufferedUntilABlockCompletes)
{
    TdeAudioConvertor convertor;
    Collected out;
    collectInto(convertor, out);
    openConvertor(convertor, pcmFormat(8000, 16, 1), imaAdpcmFormat(8000, 1));
    const QByteArray pcm = toBytes(testSignal(1000, 1, 440, 8000));
    convertor.convert(pcm.constData(), 400); // 200 of the 505 samples a block needs
    EXPECT_TRUE(out.sizes.empty());
    EXPECT_EQ(convertor.lastOutput(), nullptr);
    convertor.convert(pcm.constData() + 400, 1000);
    EXPECT_EQ(out.sizes, std::vector<qint64>{256});
    EXPECT_EQ(convertor.lastOutputSize(), 256);
}

TEST(Convertor, CapacityIsFixedAtThreeTimesTheFirstBlock)
{
    TdeAudioConvertor convertor;
    openConvertor(convertor, standardPcm8k(), pcmFormat(8000, 16, 1));
    const QByteArray audio(4000, '\x80');
    convertor.convert(audio.constData(), 1000);
    convertor.convert(audio.constData(), 3000);
    EXPECT_EQ(conversionError(convertor, [&] { convertor.convert(audio.constData(), 3001); }),
              QStringLiteral("Audio is too large to fit into conversion buffer"));
    EXPECT_TRUE(convertor.isActive());
}

// 5000 bytes fed as 2048 + 2048 + 904 into IMA ADPCM: the buffered samples
// carry over, and the samples that never fill a block are dropped.
TEST(Convertor, BlocksOfAFileFitAndPartialCodecBlocksAreDropped)
{
    TdeAudioConvertor convertor;
    Collected out;
    collectInto(convertor, out);
    openConvertor(convertor, standardPcm8k(), imaAdpcmFormat(8000, 1));
    ASSERT_EQ(convertor.steps().size(), 2u);
    QByteArray audio(5000, '\0');
    for (int i = 0; i < audio.size(); ++i)
        audio[i] = char(128 + 60 * std::sin(i * 0.2));
    for (qint64 at : {0, 2048, 4096})
        convertor.convert(audio.constData() + at, std::min<qint64>(2048, 5000 - at));
    convertor.flush();
    EXPECT_EQ(out.bytes.size(), 5000 / 505 * 256);
}

// A resampler inside a chain delivers in bursts of varying size; the step
// after it must take every burst, however small the first one was.
TEST(Convertor, StepsAfterAResamplerTakeItsBursts)
{
    const struct
    {
        TdeWaveFormat in;
        TdeWaveFormat out;
    } chains[] = {
        {g711Format(WaveTag::MuLaw, 8000, 1), imaAdpcmFormat(44100, 1)}, // a modem recording to a wide file
        {pcmFormat(44100, 16, 2), gsmFormat(8000)},
    };
    for (const auto& chain : chains) {
        for (qint64 block : {160, 1000, 1536, 4000}) {
            SCOPED_TRACE(chain.out.describe().toStdString() + " in blocks of " + std::to_string(block));
            TdeAudioConvertor convertor;
            Collected out;
            collectInto(convertor, out);
            openConvertor(convertor, chain.in, chain.out);
            ASSERT_GE(convertor.steps().size(), 2u);
            const QByteArray audio = toBytes(testSignal(2 * int(chain.in.samplesPerSec()), chain.in.channels(), 440,
                                                        chain.in.samplesPerSec()));
            for (qint64 at = 0; at + block <= audio.size(); at += block)
                convertor.convert(audio.constData() + at, block);
            convertor.flush();
            EXPECT_GT(out.bytes.size(), 0);
        }
    }
}

TEST(Convertor, ObserversGetEachBlockInOrderAndTheirErrorsReachTheProducer)
{
    struct Recorder : TdeAudioComponent, IdeAudioObserver
    {
        std::vector<std::string>* log;
        std::string name;
        bool detachSelf = false;
        bool fail = false;
        void audioData(IdeAudioSubject* subject, const void*, qint64 size) override
        {
            log->push_back(name + ":" + std::to_string(size));
            if (detachSelf)
                setAudioSource(nullptr);
            if (fail)
                throw EACMError(QStringLiteral("observer failed"));
        }
    };
    std::vector<std::string> log;
    auto convertor = std::make_unique<TdeAudioConvertor>();
    openConvertor(*convertor, standardPcm8k(), pcmFormat(8000, 16, 1));
    Recorder a, b, c;
    a.log = b.log = c.log = &log;
    a.name = "a", b.name = "b", c.name = "c";
    a.detachSelf = true;
    for (Recorder* r : {&a, &b, &c})
        r->setAudioSource(convertor.get());
    convertor->convert("\x80\x80", 2);
    EXPECT_EQ(log, (std::vector<std::string>{"a:4", "b:4", "c:4"}));

    log.clear();
    b.fail = true;
    EXPECT_THROW(convertor->convert("\x80", 1), EACMError);
    EXPECT_EQ(log, (std::vector<std::string>{"b:2"}));

    log.clear();
    bool reported = false;
    convertor->setOnObserverError([&](IdeAudioSubject*, IdeAudioObserver* who, const std::exception&, bool& raise) {
        reported = who == &b;
        raise = false;
    });
    convertor->convert("\x80", 1);
    EXPECT_TRUE(reported);
    EXPECT_EQ(log, (std::vector<std::string>{"b:2", "c:2"}));

    EXPECT_THROW(b.setAudioSource(&b), EACMError);
    EXPECT_THROW(c.setAudioSource(&a), EACMError); // a recorder is no subject
    convertor.reset();
    EXPECT_EQ(c.audioSource(), nullptr);
}

TEST(Convertor, ConvertorsChainAsObservers)
{
    TdeAudioConvertor toMuLaw;
    openConvertor(toMuLaw, standardPcm8k(), g711Format(WaveTag::MuLaw, 8000, 1));
    TdeAudioConvertor back;
    Collected out;
    collectInto(back, out);
    back.setAudioSource(&toMuLaw);
    openConvertor(back, g711Format(WaveTag::MuLaw, 8000, 1), standardPcm8k());
    const QByteArray audio("\x80\x90\x70\xff\x01", 5);
    toMuLaw.convert(audio.constData(), audio.size());
    ASSERT_EQ(out.bytes.size(), audio.size());
    for (int i = 0; i < audio.size(); ++i) // within mu-law's resolution
        EXPECT_NEAR(quint8(out.bytes[i]), quint8(audio[i]), 2) << i;
}

TEST(CodecLayer, DescribesSuggestsAndTellsItsErrors)
{
    EXPECT_EQ(standardPcm8k().describe(), QStringLiteral("PCM: 8.000 kHz, 8 Bit, Mono"));
    EXPECT_EQ(gsmFormat(8000).describe(), QStringLiteral("GSM 6.10: 8.000 kHz, Mono"));
    EXPECT_EQ(imaAdpcmFormat(44100, 2).describe(), QStringLiteral("IMA ADPCM: 44.100 kHz, 4 Bit, Stereo"));
    TdeWaveFormat unknown;
    unknown.setFormatTag(0x4242);
    EXPECT_EQ(unknown.describe(), QString());

    TdeWaveFormat pcm;
    pcm.suggestPCM(g711Format(WaveTag::ALaw, 11025, 2));
    EXPECT_EQ(pcm.formatBuffer().left(18), pcmFormat(11025, 16, 2).formatBuffer().left(18));
    EXPECT_THROW(pcm.suggestPCM(unknown), EACMConversionError);

    EXPECT_EQ(codecErrorText(32, QStringLiteral("Error selecting format.")),
              QStringLiteral("Error selecting format.\r\nThe selected audio format is not supported on this machine."));
    EXPECT_EQ(codecErrorText(99), QStringLiteral("An unexpected error has occurred (code #99)."));

    const std::vector<TdeWaveFormat> offered = CodecRegistry::instance().formats();
    for (quint16 tag : {WaveTag::Pcm, WaveTag::ALaw, WaveTag::MuLaw, WaveTag::ImaAdpcm, WaveTag::Gsm610})
        EXPECT_TRUE(std::any_of(offered.begin(), offered.end(), [&](const auto& f) { return f.formatTag() == tag; }));
    for (const TdeWaveFormat& f : offered) // every offered format opens from 16-bit PCM
        EXPECT_EQ(CodecRegistry::instance().query(pcmFormat(f.samplesPerSec(), 16, f.channels()), f, false), 0)
            << f.describe().toStdString();
}
