#include "EventWait.h"

#include "platform/SpeechSynthesizer.h"
#include "speech/TextToSpeech.h"

#include <QMutex>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A speech engine for tests: 0.1 s of a tone at 16 kHz per character, in
// pieces of 10 ms that take 2 ms each to "render"; the text "FAIL" fails.
// It records the texts it was given, in order.
class FakeSynthesizer : public SpeechSynthesizer
{
public:
    static inline QMutex mutex;
    static inline QStringList rendered;

    bool start(QString&) override { return true; }
    int sampleRate() const override { return 16000; }
    std::vector<SpeechVoice> voices() override { return {{"fake/a", "Alpha", "en", 1}, {"fake/b", "Beta", "de", 2}}; }
    bool synthesize(const QString& text, const QString&, int volume, const SampleSink& sink, QString& error) override
    {
        {
            QMutexLocker lock(&mutex);
            rendered.append(text);
        }
        if (text == QLatin1String("FAIL")) {
            error = QStringLiteral("the fake engine refuses");
            return false;
        }
        qint16 piece[160];
        for (int p = 0; p < text.size() * 10; ++p) {
            for (int i = 0; i < 160; ++i)
                piece[i] = qint16(volume * 100 * std::sin(2 * M_PI * 500 * (p * 160 + i) / 16000.0));
            QThread::msleep(2);
            if (!sink(piece, 160))
                break;
        }
        return true;
    }
};

struct Ended
{
    quint64 job;
    qsizetype bytes;
    QString error;
};

class TextToSpeechTest : public testing::Test
{
protected:
    void SetUp() override
    {
        registerSpeechSynthesizer(QStringLiteral("fake"), [] { return std::make_unique<FakeSynthesizer>(); });
        QMutexLocker lock(&FakeSynthesizer::mutex);
        FakeSynthesizer::rendered.clear();
    }
    void follow(TextToSpeech& tts)
    {
        QObject::connect(&tts, &TextToSpeech::endStream, &tts, [this](quint64 job, const QByteArray& audio, const QString& error) {
            ended.push_back({job, audio.size(), error});
        });
    }
    std::vector<Ended> ended;
};

// A call's text goes before the previews queued, and stops a preview
// being spoken; every job ends once, the stopped one with what it had.
TEST_F(TextToSpeechTest, CallsPreemptPreviewsAndEveryJobEndsOnce)
{
    TextToSpeech tts(QStringLiteral("fake"));
    ASSERT_TRUE(tts.available());
    follow(tts);
    const quint64 preview1 = tts.speak(QStringLiteral("a long preview text"), TextToSpeech::Priority::Preview);
    const quint64 preview2 = tts.speak(QStringLiteral("second"), TextToSpeech::Priority::Preview);
    ASSERT_TRUE(testsupport::waitUntil([] { // the first preview is being rendered
        QMutexLocker lock(&FakeSynthesizer::mutex);
        return !FakeSynthesizer::rendered.isEmpty();
    }));
    const quint64 call = tts.speak(QStringLiteral("call"));
    const quint64 empty = tts.speak(QString());
    const quint64 failing = tts.speak(QStringLiteral("FAIL"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return ended.size() == 5; }, 10000));
    testsupport::settle(50);
    ASSERT_EQ(ended.size(), 5u);
    const std::vector<quint64> order = {ended[0].job, ended[1].job, ended[2].job, ended[3].job, ended[4].job};
    EXPECT_EQ(order, (std::vector<quint64>{preview1, call, empty, failing, preview2}));
    EXPECT_GT(ended[0].bytes, 0);
    EXPECT_LT(ended[0].bytes, 19 * 800); // cut short: 0.1 s of 8 kHz a character
    EXPECT_NEAR(double(ended[1].bytes), 4 * 800, 100); // 0.4 s at 8 kHz, one byte a sample
    EXPECT_EQ(ended[2].bytes, 0);
    EXPECT_TRUE(ended[2].error.isEmpty());
    EXPECT_EQ(ended[3].error, QStringLiteral("the fake engine refuses"));
    EXPECT_NEAR(double(ended[4].bytes), 6 * 800, 100);
}

TEST_F(TextToSpeechTest, SkipStopsTheTextBeingSpokenAndVoicesAreFoundById)
{
    TextToSpeech tts(QStringLiteral("fake"));
    follow(tts);
    ASSERT_EQ(tts.voices().size(), 2u);
    EXPECT_EQ(tts.indexOfVoice(QStringLiteral("fake/b")), 1);
    EXPECT_EQ(tts.resolveVoice(0, QStringLiteral("fake/b")), 1); // the id wins over a shifted index
    EXPECT_EQ(tts.resolveVoice(1, QStringLiteral("gone")), 1);
    EXPECT_EQ(tts.resolveVoice(1, QString()), 1);                  // an index set without its id
    EXPECT_EQ(tts.resolveVoice(0, QString()), -1);                 // never chosen: the engine's default
    EXPECT_EQ(tts.voices()[1].description(), QStringLiteral("Beta, de, female"));
    tts.speak(QStringLiteral("a text that takes a long while to speak"));
    QThread::msleep(30);
    tts.skip();
    ASSERT_TRUE(testsupport::waitUntil([&] { return ended.size() == 1; }));
    EXPECT_LT(ended[0].bytes, 40 * 800);
}

// Without the engine the program goes on: the message names espeak-ng, and
// a job still ends (with the reason).
TEST_F(TextToSpeechTest, MissingEngineIsReportedAndJobsStillEnd)
{
    registerSpeechSynthesizer(QStringLiteral("absent"), [] { return createEspeakSynthesizer(QStringLiteral("no-such-library")); });
    TextToSpeech tts(QStringLiteral("absent"));
    follow(tts);
    EXPECT_FALSE(tts.available());
    EXPECT_TRUE(tts.unavailableMessage().contains(QLatin1String("espeak-ng")));
    EXPECT_TRUE(tts.engineError().contains(QLatin1String("espeak-ng cannot be loaded"))) << qPrintable(tts.engineError());
    EXPECT_TRUE(tts.voices().empty());
    tts.speak(QStringLiteral("hello"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return ended.size() == 1; }));
    EXPECT_EQ(ended[0].bytes, 0);
    EXPECT_FALSE(ended[0].error.isEmpty());
}

// espeak-ng itself: a greeting is speech of a plausible length, 8 kHz 8-bit.
TEST_F(TextToSpeechTest, EspeakRendersAGreetingAsEightKilohertzSpeech)
{
    TextToSpeech tts;
    if (!tts.available())
        GTEST_SKIP() << qPrintable(tts.engineError());
    EXPECT_GT(tts.voices().size(), 10u);
    follow(tts);
    QByteArray audio;
    QObject::connect(&tts, &TextToSpeech::endStream, &tts, [&](quint64, const QByteArray& a, const QString&) { audio = a; });
    tts.speak(QStringLiteral("Please leave your message after the tone. Thank you."));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !ended.empty(); }));
    EXPECT_TRUE(ended[0].error.isEmpty()) << qPrintable(ended[0].error);
    EXPECT_GT(audio.size(), 8000 * 2); // a sentence of nine words: 2 to 6 s
    EXPECT_LT(audio.size(), 8000 * 6);
    double sum = 0, squares = 0;
    for (const char c : audio) {
        sum += uint8_t(c);
        squares += double(uint8_t(c)) * uint8_t(c);
    }
    const double mean = sum / audio.size();
    EXPECT_NEAR(mean, 128.0, 4.0); // unsigned samples around the mid level
    EXPECT_GT(std::sqrt(squares / audio.size() - mean * mean), 5.0); // not silence
}

} // namespace
