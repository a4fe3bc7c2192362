// The call-progress tones of real exchanges, generated at every level a
// line gives them, against speech and music that must never end a call.
#include "TestSupport.h"

#include "linedsp/CallProgressDetector.h"
#include "linedsp/TQVMdsp.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <vector>

namespace {

constexpr int Rate = 8000;
constexpr int BlockSize = 1536;
using Samples = std::vector<uint8_t>;

double amplitude(double dbfs)
{
    return 127.0 * std::pow(10.0, dbfs / 20.0);
}

struct Tone
{
    const char* name;
    std::vector<double> frequencies;
    std::vector<int> cadenceMs; // on, off, on, off, ...; empty: continuous
};

const Tone Tones[] = {
    {"North American dial tone", {350, 440}, {}},
    {"North American busy", {480, 620}, {500, 500}},
    {"North American reorder", {480, 620}, {250, 250}},
    {"UK dial tone", {350, 450}, {}},
    {"UK busy", {400}, {375, 375}},
    {"UK congestion", {400}, {400, 350, 225, 525}},
    {"UK number unobtainable", {400}, {}},
    {"European dial tone", {425}, {}},
    {"European busy", {425}, {500, 500}},
    {"European congestion", {425}, {250, 250}},
    {"Australian busy", {425}, {375, 375}},
    {"dial tone 400 Hz", {400}, {}},
    {"dial tone 450 Hz", {450}, {}},
};

// One second of quiet line (or noise), then the tone for twelve seconds,
// each component at `dbfs`, in 8-bit unsigned samples as the modem path
// delivers them.
Samples makeTone(const Tone& tone, double dbfs, std::optional<double> noiseDbfs, double detune = 1.0)
{
    Samples out(size_t(13 * Rate));
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0.0, noiseDbfs ? amplitude(*noiseDbfs) / std::sqrt(2.0) : 0.0);
    std::vector<int> pattern = tone.cadenceMs;
    int cycleMs = 0;
    for (const int ms : pattern)
        cycleMs += ms;
    for (size_t n = 0; n < out.size(); ++n) {
        const double t = double(n) / Rate - 1.0;
        bool on = t >= 0;
        if (on && cycleMs > 0) {
            int at = int(std::fmod(t * 1000.0, cycleMs));
            for (size_t i = 0; i < pattern.size(); ++i) {
                if (at < pattern[i]) {
                    on = i % 2 == 0;
                    break;
                }
                at -= pattern[i];
            }
        }
        double v = noiseDbfs ? gauss(random) : 0.0;
        if (on)
            for (const double f : tone.frequencies)
                v += amplitude(dbfs) * std::sin(2 * M_PI * f * detune * double(n) / Rate);
        out[n] = uint8_t(std::clamp(std::lround(128.0 + v), 0L, 255L));
    }
    return out;
}

struct Result
{
    int detections = 0;
    double firstAtSeconds = -1; // from the start of the samples, at the end of the block
    QString first;
};

// Feeds the detector in the engine's 1536-sample blocks.
Result detect(const Samples& samples)
{
    CallProgressDetector detector;
    Result r;
    size_t fed = 0;
    detector.OnTone = [&](const CallProgressDetector::Detection& d) {
        if (r.detections++ == 0) {
            r.firstAtSeconds = double(fed) / Rate;
            r.first = d.describe();
        }
    };
    for (size_t at = 0; at + BlockSize <= samples.size(); at += BlockSize) {
        fed = at + BlockSize;
        detector.process(std::span(samples.data() + at, BlockSize));
    }
    return r;
}

// Every tone of every plan, loud to faint, clean and in line noise, and
// slightly off its nominal frequency, is recognised in time: a dial tone
// within 4 s of its start, a cadence after three cycles.
TEST(CallProgressTones, EveryPlansToneIsRecognisedAtEveryLevel)
{
    for (const Tone& tone : Tones) {
        for (const double level : {-10.0, -25.0, -40.0}) {
            for (const std::optional<double> noise : {std::optional<double>(), std::optional<double>(-50.0)}) {
                for (const double detune : {1.0, 1.015}) {
                    const Result r = detect(makeTone(tone, level, noise, detune));
                    const double delay = r.firstAtSeconds - 1.0;
                    int cycleMs = 0;
                    for (const int ms : tone.cadenceMs)
                        cycleMs += ms;
                    const double limit = tone.cadenceMs.empty() ? 4.0 : 4.0 * cycleMs / 1000.0 * 2 / double(tone.cadenceMs.size()) + 0.3;
                    std::printf("%-28s %6.1f dBFS %-9s %s %5.2f s  %s\n", tone.name, level,
                                noise ? "noise -50" : "clean", detune == 1.0 ? "nominal" : "+1.5%  ", delay,
                                qPrintable(r.first));
                    EXPECT_GE(r.detections, 1) << tone.name << ' ' << level << " dBFS";
                    EXPECT_GT(delay, 0.5) << tone.name;
                    EXPECT_LE(delay, limit) << tone.name << ' ' << level << " dBFS";
                    EXPECT_EQ(r.first.startsWith(QLatin1String("dial tone")), tone.cadenceMs.empty()) << tone.name;
                }
            }
        }
    }
}

TEST(CallProgressTones, SilenceNoiseAndLoneBurstsAreNoTone)
{
    const Tone quiet{"quiet", {}, {}};
    EXPECT_EQ(detect(makeTone(quiet, 0, std::nullopt)).detections, 0);
    EXPECT_EQ(detect(makeTone(quiet, 0, -50.0)).detections, 0);
    EXPECT_EQ(detect(makeTone(quiet, 0, -20.0)).detections, 0);
    // A tone of none of the plans' frequencies, and a dial tone too short.
    EXPECT_EQ(detect(makeTone(Tone{"1 kHz", {1000}, {}}, -10, -50.0)).detections, 0);
    EXPECT_EQ(detect(makeTone(Tone{"burst", {425}, {2000, 60000}}, -10, -50.0)).detections, 0);
    // A cadence whose bursts are twice as long as a busy tone's is none.
    EXPECT_EQ(detect(makeTone(Tone{"slow", {425}, {1500, 500}}, -10, -50.0)).detections, 0);
}

// A faint dial tone is no silence: it ends the call as a tone, seconds
// before the silence window could, and the three original detectors stay as they are.
TEST(CallProgressTones, FaintDialToneEndsTheCallBeforeTheSilenceDetectorWould)
{
    TQVMdsp dsp;
    dsp.Silence = true;
    dsp.SilenceDim = 50;
    dsp.CallProgress = true;
    dsp.ResetDetector();
    int block = 0;
    int toneAt = -1;
    int silenceAt = -1;
    dsp.OnCallProgress = [&](TQVMdsp*, const QString&) { toneAt = toneAt < 0 ? block : toneAt; };
    dsp.OnSilence = [&](TQVMdsp*) { silenceAt = silenceAt < 0 ? block : silenceAt; };
    const Samples signal = makeTone(Tones[0], -40, -50.0);
    for (size_t at = 0; at + BlockSize <= signal.size(); at += BlockSize, ++block)
        dsp.ProcessBlock(std::span(signal.data() + at, BlockSize));
    ASSERT_GE(toneAt, 0);
    EXPECT_LE(toneAt * 0.192, 5.0);
    EXPECT_TRUE(silenceAt < 0 || silenceAt > toneAt);

    toneAt = -1; // switched off, it says nothing
    dsp.CallProgress = false;
    dsp.ResetDetector();
    for (size_t at = 0; at + BlockSize <= signal.size(); at += BlockSize)
        dsp.ProcessBlock(std::span(signal.data() + at, BlockSize));
    EXPECT_LT(toneAt, 0);
}

// --- Speech and music ------------------------------------------------------------

Samples readRaw(const QString& path)
{
    const QByteArray bytes = testsupport::readFile(path);
    return Samples(bytes.begin(), bytes.end());
}

// sox: any file to 8 kHz 8-bit unsigned raw samples, through `effects`.
Samples toLine(const QString& in, const QString& out, const QStringList& effects)
{
    const auto made = testsupport::run(QStringLiteral("sox"),
                                       QStringList{in, QStringLiteral("-t"), QStringLiteral("raw"),
                                                   QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
                                                   QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("8"),
                                                   QStringLiteral("-e"), QStringLiteral("unsigned-integer"), out}
                                           + effects);
    EXPECT_EQ(made.exitCode, 0) << made.err.constData();
    return readRaw(out);
}

struct Utterance
{
    const char* voice;
    const char* text;
};

// Messages as callers leave them, in several languages.
const Utterance Texts[] = {
    {"en", "Hello, this is Margaret from the dental practice. I am calling to confirm your appointment on "
           "Thursday at half past three. If that time no longer suits you, please ring us back on oh one two "
           "three, four five six seven eight nine. Thank you, and have a lovely afternoon."},
    {"en-us", "Hey, it's Mike. Listen, I'm running about twenty minutes late, the traffic on the bridge is "
              "terrible. Go ahead and order without me, and I'll catch up with you as soon as I can. Sorry!"},
    {"de", "Guten Tag, hier spricht Thomas Becker von der Stadtverwaltung. Ich rufe wegen Ihres Antrags an. "
           "Bitte melden Sie sich morgen zwischen neun und zwölf Uhr unter der bekannten Nummer. Vielen Dank."},
    {"fr", "Bonjour, c'est Julie. Je voulais simplement savoir si tu viens toujours dîner samedi soir. "
           "Rappelle-moi quand tu peux, je serai à la maison toute la soirée. À bientôt, je t'embrasse."},
    {"es", "Hola, soy Carlos del taller mecánico. Su coche ya está listo y puede pasar a recogerlo mañana por "
           "la mañana. Si tiene alguna pregunta, llámenos al número de siempre. Muchas gracias."},
    {"it", "Buongiorno, sono Francesca dello studio legale. La chiamo per ricordarle la riunione di lunedì "
           "prossimo alle dieci. Se non potesse partecipare, ci faccia sapere al più presto. Grazie."},
    {"nl", "Hallo, met Pieter van de bibliotheek. Het boek dat u heeft gereserveerd ligt klaar. U kunt het tot "
           "vrijdag ophalen aan de balie. Vergeet uw pasje niet. Tot ziens en een fijne dag verder."},
    {"pt", "Olá, aqui fala a Ana da farmácia. A sua receita já está pronta e pode levantá-la a partir das duas "
           "da tarde. Se precisar de mais alguma coisa, ligue para nós. Obrigada e até logo."},
    {"pl", "Dzień dobry, tu Marek z firmy kurierskiej. Mam dla pana przesyłkę, ale nikogo nie zastałem w domu. "
           "Proszę o kontakt, żebyśmy mogli ustalić nowy termin dostawy. Dziękuję bardzo."},
    {"sv", "Hej, det är Lena. Jag ville bara säga att mötet imorgon är flyttat till klockan två. Ring mig om "
           "du har några frågor, annars ses vi där. Ha det så bra, hej då."},
    {"ru", "Здравствуйте, это Ольга из поликлиники. Напоминаю, что ваш приём у врача назначен на среду в "
           "десять утра. Пожалуйста, возьмите с собой полис. До свидания."},
    {"cmn", "你好，我是王先生。我想问一下明天的会议是不是还在下午三点。如果时间有变化，请给我回个电话。谢谢。"},
    {"fi", "Hei, täällä Mikko. Soitan kysyäkseni, sopiiko huominen tapaaminen vielä sinulle. Soita minulle "
           "takaisin, kun ehdit. Kiitos ja hyvää päivänjatkoa."},
    {"tr", "Merhaba, ben Ayşe. Yarın akşam yemeğe geliyor musun? Annem de gelecek, çok sevinir. Lütfen bana "
           "haber ver, görüşürüz."},
};

// Each text spoken four ways: male and female voices, slow and fast, then
// sped up, slowed down or left, loud and quiet, by sox.
struct Rendering
{
    const char* variant;
    const char* rate;
    const char* pitch;
    QStringList effects;
};

const Rendering Renderings[] = {
    {"+m3", "150", "40", {"gain", "-n", "-3"}},
    {"+f3", "175", "70", {"speed", "1.25", "gain", "-n", "-3"}},
    {"+m7", "130", "25", {"speed", "0.8", "gain", "-n", "-12"}},
    {"+f5", "210", "85", {"tempo", "1.3", "gain", "-n", "-24"}},
};

// The vibrato of a held note: `cents` up and down five times a second,
// through sox's bend.
QStringList vibrato(int cents, double seconds)
{
    QStringList bends{QStringLiteral("bend"), QStringLiteral("-f"), QStringLiteral("50")};
    for (int i = 0; i < int(seconds * 5); ++i) {
        bends << QStringLiteral("0.0,+%1,0.09").arg(cents) << QStringLiteral("0.01,-%1,0.09").arg(2 * cents)
              << QStringLiteral("0.01,+%1,0.0").arg(cents);
    }
    return bends;
}

std::vector<std::pair<QString, Samples>> makeMusic(QTemporaryDir& dir)
{
    const struct
    {
        const char* name;
        QStringList synth;
        int vibratoCents; // -1: none; 0: sox's own frequency modulation
    } pieces[] = {
        // Held pure sines without (or with hardly any) vibrato are a tone to
        // any detector: these two are the known limit.
        {"F4+A4 sines, no vibrato", {"sine", "F4", "sine", "A4"}, -1},
        {"A4 sine, vibrato 2 cents", {"sine", "A4"}, 2},
        {"F4+A4 sines, vibrato 10 cents", {"sine", "F4", "sine", "A4"}, 10},
        {"F4+A4 sines, vibrato 5 cents", {"sine", "F4", "sine", "A4"}, 5},
        {"F4 A4 C5 sines, vibrato 10 cents", {"sine", "F4", "sine", "A4", "sine", "C5"}, 10},
        {"F4 A4 C5 sawtooth, vibrato 15 cents", {"sawtooth", "F4", "sawtooth", "A4", "sawtooth", "C5"}, 15},
        {"A4 sine, vibrato 10 cents", {"sine", "A4"}, 10},
        {"A4 sine, vibrato 5 cents", {"sine", "A4"}, 5},
        {"G#4 A4 B4 triangles, vibrato 10 cents", {"triangle", "G#4", "triangle", "A4", "triangle", "B4"}, 10},
        {"C4 E4 G4 squares, sox fmod vibrato", {"square", "C4", "square", "E4", "square", "G4"}, 0},
    };
    std::vector<std::pair<QString, Samples>> out;
    int index = 0;
    for (const auto& p : pieces) {
        const QString wav = dir.filePath(QStringLiteral("m%1.wav").arg(index));
        QStringList args{QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"), QStringLiteral("-c"),
                         QString::number(p.synth.size() / 2), wav, QStringLiteral("synth"), QStringLiteral("8")};
        args += p.synth;
        args += QStringList{QStringLiteral("remix"), QStringLiteral("-")};
        if (p.vibratoCents > 0)
            args += vibrato(p.vibratoCents, 8);
        else if (p.vibratoCents == 0)
            args += QStringList{QStringLiteral("synth"), QStringLiteral("8"), QStringLiteral("sine"),
                                QStringLiteral("fmod"), QStringLiteral("5.5")};
        args += QStringList{QStringLiteral("gain"), QStringLiteral("-n"), QStringLiteral("-6")};
        const auto made = testsupport::run(QStringLiteral("sox"), args);
        EXPECT_EQ(made.exitCode, 0) << made.err.constData();
        const QString raw = dir.filePath(QStringLiteral("m%1.raw").arg(index++));
        out.emplace_back(QLatin1String(p.name), toLine(wav, raw, {}));
    }
    // A repeated plucked note, twice a second: bursts of one pitch.
    const QString pluck = dir.filePath(QStringLiteral("pluck.wav"));
    testsupport::run(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"),
                                             pluck, QStringLiteral("synth"), QStringLiteral("0.5"),
                                             QStringLiteral("pluck"), QStringLiteral("A4"), QStringLiteral("repeat"),
                                             QStringLiteral("15")});
    out.emplace_back(QStringLiteral("A4 plucked twice a second"), toLine(pluck, pluck + QStringLiteral(".raw"), {}));
    return out;
}

struct Corpus
{
    QTemporaryDir dir;
    std::vector<Samples> speech;
    std::vector<std::pair<QString, Samples>> music;
    double speechSeconds = 0;
    bool usable = false;
};

// Made once: about twelve minutes of speech, and the music.
Corpus& corpus()
{
    static Corpus c = [] {
        Corpus made;
        if (!testsupport::haveProgram(QStringLiteral("espeak-ng")) || !testsupport::haveProgram(QStringLiteral("sox")))
            return made;
        int index = 0;
        for (const Utterance& u : Texts) {
            for (const Rendering& r : Renderings) {
                const QString wav = made.dir.filePath(QStringLiteral("s%1.wav").arg(index));
                const QString raw = made.dir.filePath(QStringLiteral("s%1.raw").arg(index++));
                const auto spoken = testsupport::run(
                    QStringLiteral("espeak-ng"),
                    {QStringLiteral("-v"), QLatin1String(u.voice) + QLatin1String(r.variant), QStringLiteral("-s"),
                     QLatin1String(r.rate), QStringLiteral("-p"), QLatin1String(r.pitch), QStringLiteral("-w"), wav,
                     QString::fromUtf8(u.text)});
                if (spoken.exitCode != 0)
                    continue;
                made.speech.push_back(toLine(wav, raw, r.effects));
                made.speechSeconds += double(made.speech.back().size()) / Rate;
            }
        }
        made.music = makeMusic(made.dir);
        made.usable = true;
        return made;
    }();
    return c;
}

TEST(CallProgressTones, TwelveMinutesOfSpeechEndNoCall)
{
    Corpus& c = corpus();
    if (!c.usable)
        GTEST_SKIP() << "espeak-ng and sox make the speech";
    int detections = 0;
    for (const Samples& s : c.speech) {
        const Result r = detect(s);
        detections += r.detections;
        EXPECT_EQ(r.detections, 0) << qPrintable(r.first);
    }
    std::printf("speech: %zu utterances, %.1f minutes, %d false disconnects\n", c.speech.size(),
                c.speechSeconds / 60, detections);
    EXPECT_GE(c.speechSeconds, 600.0);
}

// Music on hold must not end a call. Held chords with vibrato are the
// hardest case: what the detector makes of each is printed.
TEST(CallProgressTones, HeldChordsWithVibratoEndNoCall)
{
    Corpus& c = corpus();
    if (!c.usable)
        GTEST_SKIP() << "sox makes the music";
    for (const auto& [name, samples] : c.music) {
        const Result r = detect(samples);
        std::printf("music: %-40s %d disconnects %s\n", qPrintable(name), r.detections, qPrintable(r.first));
        const bool pureTone = name.contains(QLatin1String("no vibrato")) || name.contains(QLatin1String("2 cents"));
        EXPECT_EQ(r.detections > 0, pureTone) << qPrintable(name) << ": " << qPrintable(r.first);
    }
}

} // namespace
