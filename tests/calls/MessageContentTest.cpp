// What the answering machine files: a caller's words, however faint on the
// line, make a message; line noise and an exchange's tones make a missed call.
#include "RealLine.h"

#include "calls/MessageContent.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

struct Tone
{
    std::vector<double> frequencies;
    int onMs, offMs; // 0: continuous
};

// Seconds of an exchange's tone at `peakDbfs` in line noise.
std::vector<uint8_t> exchangeTone(const Tone& tone, double peakDbfs, double seconds)
{
    std::mt19937 random(3);
    std::normal_distribution<double> white(0.0, 128.0 * std::pow(10.0, -55.0 / 20));
    const double amplitude = 128.0 * std::pow(10.0, peakDbfs / 20) / double(tone.frequencies.size());
    std::vector<uint8_t> out(size_t(seconds * 8000));
    for (size_t i = 0; i < out.size(); ++i) {
        const int ms = int(i / 8);
        double v = white(random) + 0.4 * std::sin(2 * M_PI * 50.0 * double(i) / 8000.0);
        if (tone.onMs == 0 || ms % (tone.onMs + tone.offMs) < tone.onMs)
            for (const double f : tone.frequencies)
                v += amplitude * std::sin(2 * M_PI * f * double(i) / 8000.0);
        out[i] = uint8_t(std::clamp(std::lround(128.0 + v), 0L, 255L));
    }
    return out;
}

const Tone Busy{{480, 620}, 500, 500};
const Tone Reorder{{425}, 250, 250};
const Tone Congestion{{400}, 400, 350};
const Tone DialTone{{350, 440}, 0, 0};
const Tone PbxTone{{600}, 0, 0}; // none of the plans': the periodic-signal detector's
const Tone LowPbxTone{{300}, 0, 0};
const Tone Silence{{}, 0, 0};

MessageContent judged(const std::vector<std::vector<uint8_t>>& parts)
{
    MessageContent content;
    content.reset();
    for (const auto& part : parts)
        content.process(part.data(), int(part.size()));
    return content;
}

// One prompt each of a real speaker, from a single word up, at every level
// down to -40 dBFS peak in line noise, then the line and the tone that ended
// the message.
TEST(MessageContent, AnySpokenWordMakesAMessage)
{
    const QStringList prompts = realline::spokenPrompts();
    ASSERT_GT(prompts.size(), 150) << "install the Debian package asterisk-prompt-es-co (scripts/install-deps.sh)";
    int judgedCount = 0;
    for (qsizetype p = 5; p < prompts.size(); p += 16)
        for (const double level : {-6.0, -18.0, -30.0, -40.0}) {
            SCOPED_TRACE(testing::Message() << qPrintable(prompts[p]) << ' ' << level << " dBFS");
            const std::vector<uint8_t> words = realline::onLine({prompts[p]}, level, true);
            ASSERT_FALSE(words.empty());
            const Tone& ending = judgedCount % 3 == 0 ? Busy : judgedCount % 3 == 1 ? Reorder : LowPbxTone;
            // A PBX's tone comes as faint as the caller was.
            const double endingLevel = &ending == &LowPbxTone ? std::max(level, -36.0) : -12.0;
            const MessageContent content =
                judged({words, exchangeTone(Silence, -6, 2.0), exchangeTone(ending, endingLevel, 6.0)});
            EXPECT_TRUE(content.holdsVoice()) << content.voiceMs() << " ms of voice";
            // The last word is where the caller's audio ends, not in the tone.
            EXPECT_LE(content.lastVoiceEndMs(), qint64(words.size() / 8 + 100));
            ++judgedCount;
        }
    EXPECT_GE(judgedCount, 40);
}

TEST(MessageContent, NoiseAndExchangeTonesMakeAMissedCall)
{
    for (const Tone& tone : {Silence, Busy, Reorder, Congestion, DialTone, PbxTone, LowPbxTone})
        for (const double level : {-6.0, -24.0, -36.0}) {
            SCOPED_TRACE(testing::Message() << tone.frequencies.size() << " tones " << tone.onMs << " ms, " << level
                                            << " dBFS");
            const MessageContent content = judged({exchangeTone(Silence, level, 3.0), exchangeTone(tone, level, 20.0)});
            EXPECT_FALSE(content.holdsVoice()) << content.voiceMs() << " ms of voice";
        }
}

} // namespace
