// Voice streams of the simulator: received audio, shielding, events, the
// stop pairs of each kind of modem, and transmitted audio.
#include "SimSession.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

const QByteArray kDleEtxOk("\x10\x03\r\nOK\r\n", 8);

// Receives for a while, then stops with `stop`; returns the stream between
// CONNECT and the end mark (empty when the modem did not end it).
QByteArray receive(SimSession& s, int simSeconds, const QByteArray& stop = QByteArray("\x10!", 2))
{
    const QByteArray connect("\r\nCONNECT\r\n");
    const QByteArray reply = s.talk.command("AT+VRX");
    if (!reply.contains(connect)) {
        ADD_FAILURE() << "no CONNECT: " << reply.toStdString();
        return {};
    }
    const qsizetype start = reply.indexOf(connect) + connect.size(); // audio may come in the same read
    if (!waitUntil([&] { return s.talk.received().size() >= start + simSeconds * 8000; }, 20000)) {
        ADD_FAILURE() << "only " << s.talk.received().size() << " bytes came";
        return {};
    }
    s.port.write(stop);
    if (!s.talk.waitFor(kDleEtxOk) || !s.talk.received().endsWith(kDleEtxOk)) {
        ADD_FAILURE() << "the stream did not end: " << s.talk.received().right(20).toHex(' ').toStdString();
        return {};
    }
    return s.talk.received().mid(start).chopped(kDleEtxOk.size());
}

// The strongest frequency sox finds in raw audio of the given sox type.
int roughFrequency(const QByteArray& raw, const QStringList& soxType)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("audio.raw"));
    testsupport::writeFile(file, raw);
    const auto result = testsupport::run(QStringLiteral("sox"),
                                         QStringList{"-t", "raw", "-r", "8000", "-c", "1"} + soxType
                                             + QStringList{file, "-n", "stat"});
    for (const QByteArray& line : result.err.split('\n'))
        if (line.startsWith("Rough   frequency:"))
            return line.mid(18).trimmed().toInt();
    return -1;
}

QByteArray swapNibbles(QByteArray bytes)
{
    for (char& b : bytes)
        b = char(((uint8_t(b) & 0x0F) << 4) | (uint8_t(b) >> 4));
    return bytes;
}

} // namespace

TEST(ModemSimStreams, ReceivedAudioIsShieldedAndCarriesInjectedEvents)
{
    // Full-scale noise makes 8-bit samples of 0x10, which must be doubled.
    SimSession s(simOptions(QStringLiteral("generic"), QStringLiteral("await rx\nnoise 60s 0\n"), 4));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8", "AT+VLS=1"}));
    ASSERT_TRUE(s.talk.command("AT+VRX").contains("\r\nCONNECT\r\n"));
    ASSERT_TRUE(waitUntil([&] { return s.talk.received().size() > 4000; }));
    s.sim.command(QStringLiteral("dle b"));
    s.sim.command(QStringLiteral("dtmf 5"));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("event <DLE>b")));
    ASSERT_TRUE(waitUntil([&] { return s.talk.received().contains("\x10~"); }));
    s.port.write(QByteArray("\x10!", 2));
    ASSERT_TRUE(s.talk.waitFor(kDleEtxOk));
    const QByteArray stream = s.talk.received().mid(s.talk.received().indexOf("CONNECT\r\n") + 9);
    ASSERT_TRUE(stream.endsWith(kDleEtxOk)) << "nothing may follow the end of the stream: "
                                            << stream.right(40).toHex(' ').toStdString();

    QByteArray data, events;
    ASSERT_TRUE(unshield(stream.chopped(kDleEtxOk.size()), data, events)) << "a lone DLE in the voice data";
    EXPECT_TRUE(data.contains(char(0x10)));
    EXPECT_EQ(events, QByteArray("b/55~")) << "a 100 ms key is reported twice, 70 ms apart";
    EXPECT_TRUE(s.sim.waitForLog(QStringLiteral("rx end")));
}

TEST(ModemSimStreams, EveryCompressionCarriesTheLineTone)
{
    if (!testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "sox is not installed";
    SimSession s(simOptions(QStringLiteral("generic"), QStringLiteral("tone 1000 10min\n")));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8", "AT+VLS=1"}));
    const struct
    {
        const char* select;
        QStringList soxType;
        bool highNibbleFirst;
    } cases[] = {
        {"AT+VSM=128,8000", {"-e", "unsigned", "-b", "8"}, false},
        {"AT+VSM=129,8000", {"-e", "signed", "-b", "8"}, false},
        {"AT+VSM=130,8000", {"-e", "signed", "-b", "16", "-L"}, false},
        {"AT+VSM=131,8000", {"-e", "u-law"}, false},
        {"AT+VSM=132,8000", {"-e", "a-law"}, false},
        // sox reads raw IMA ADPCM high nibble first; the modem sends the
        // first sample in the low nibble, as WAV files have it.
        {"AT+VSM=133,8000", {"-t", "ima"}, true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(s.setUp({c.select})) << c.select;
        const QByteArray stream = receive(s, 1);
        QByteArray data, events;
        ASSERT_TRUE(unshield(stream, data, events)) << c.select;
        EXPECT_TRUE(events.isEmpty()) << c.select;
        const int hz = roughFrequency(c.highNibbleFirst ? swapNibbles(data) : data, c.soxType);
        EXPECT_NEAR(hz, 1000, 60) << c.select;
    }
}

TEST(ModemSimStreams, EscapedStopModemIgnoresThePlainStopPairs)
{
    SimSession s(simOptions(QStringLiteral("conexant")));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8", "AT+VLS=1"}));

    ASSERT_TRUE(s.talk.command("AT+VRX").contains("\r\nCONNECT\r\n"));
    s.port.write(QByteArray("\x10!", 2));
    EXPECT_FALSE(s.talk.waitFor("\r\nOK\r\n", 300)) << "a plain DLE ! stopped the escaped kind";
    s.port.write(QByteArray("\x10\x10\x10!", 4));
    ASSERT_TRUE(s.talk.waitFor("\r\nOK\r\n"));
    EXPECT_FALSE(s.talk.received().contains(QByteArray("\x10\x03", 2))) << "this kind ends with OK alone";

    s.talk.clear();
    s.port.write("AT+VTX\r");
    ASSERT_TRUE(s.talk.waitFor(QByteArray("\r\nCONNECT\r\n\x10u", 13))) << "one underrun at every transmit start";
    s.talk.clear();
    s.port.write(QByteArray("\x80\x81\x10\x03", 4));
    EXPECT_FALSE(s.talk.waitFor("OK", 500));
    s.port.write(QByteArray("\x82\x10\x10\x10\x03", 5));
    ASSERT_TRUE(s.talk.waitFor("\r\nOK\r\n"));
    EXPECT_TRUE(s.sim.waitForLog(QStringLiteral("tx end, 3 bytes"))) << "the stop's DLE is no data";
}

TEST(ModemSimStreams, StandardModemReadsAnEscapedStopAsDataAndStop)
{
    testsupport::ModemSim::Options options = simOptions(QStringLiteral("generic"));
    options.capture = true;
    SimSession s(options);
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8", "AT+VLS=1"}));
    ASSERT_TRUE(s.talk.command("AT+VTX").endsWith("\r\nCONNECT\r\n"));
    s.talk.clear();
    s.port.write(QByteArray("\x80\x10\x10\x7F\x10\x10\x10\x03", 8));
    ASSERT_TRUE(s.talk.waitFor("\r\nOK\r\n"));
    EXPECT_EQ(s.talk.received(), QByteArray("\r\nOK\r\n")) << "no underrun report from a standard modem";
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("tx end, 4 bytes")));
    const QByteArray wav = testsupport::readFile(s.sim.captureDir() + QStringLiteral("/tx-001.wav"));
    EXPECT_TRUE(wav.endsWith(QByteArray("\x80\x10\x7F\x10", 4)));

    ASSERT_TRUE(s.setUp({"AT+VSM=129,8000"})); // signed samples are stored unsigned
    ASSERT_TRUE(s.talk.command("AT+VTX").endsWith("\r\nCONNECT\r\n"));
    s.port.write(QByteArray("\x00\x7F\x80\xFF\x10\x03", 6));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("tx-002.wav")));
    EXPECT_TRUE(testsupport::readFile(s.sim.captureDir() + QStringLiteral("/tx-002.wav"))
                    .endsWith(QByteArray("\x80\xFF\x00\x7F", 4)));
}
