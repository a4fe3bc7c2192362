// Every way a call can end, on every simulated modem family, with
// velmora-cli run as a user runs it. Judged by the simulator's own log of
// the line (when it was taken and freed), by the catalogue and by sox: the
// line freed soon after the call, the row in the state the call deserves,
// the file readable, and the next call handled as usual.
#include "CliProcess.h"
#include "ModemSim.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <memory>

using testsupport::ModemSim;

namespace {

constexpr double Speed = 10;
constexpr int MsgTimeS = 10;
// Long enough that a handset lifted in it is not the modem's own report of
// the answer (which comes within 2 s).
const char* const LongGreeting =
    "Hello, you have reached the test line of the call matrix. Nobody can take your call at the moment, "
    "so please leave your name, your number and a short message after the tone, and we will call you "
    "back as soon as we can. If you would rather not leave a message, you can call again later today, or "
    "tomorrow between nine in the morning and five in the afternoon. Thank you for calling.";

enum class Row { New, Heard, NotNew };

struct Ending
{
    const char* name;
    // The call after its rings; "hangs up" marks the end of the call.
    QStringList lines;
    Row row;
    int limitS = 10;            // program seconds from the mark to the line freed
    const char* ring = "ring 2 every 15s";
    enum class Special { None, Sigterm, Unplug } special = Special::None;
};

const char* const Talk = "say \"Hello, this is a test call. Please call me back tomorrow morning.\"";

QList<Ending> endings()
{
    using S = Ending::Special;
    // Remote access comes early, while few messages wait: they play in real time.
    return {
        {"busy", {"await rx timeout 300s", Talk, "log hangs up", "busy 15s"}, Row::New},
        {"dial tone", {"await rx timeout 300s", Talk, "log hangs up", "dialtone 15s"}, Row::New},
        {"code, then nothing", {"await rx timeout 300s", "dtmf 4711", "log hangs up", "silence 300s"}, Row::NotNew,
         40},
        {"code, every message",
         {"await rx timeout 300s", "dtmf 4711", "wait 5s", "dtmf 2 off 1.3s until-onhook", "log hangs up"},
         Row::NotNew},
        {"silence", {"await rx timeout 300s", Talk, "log hangs up", "silence 120s"}, Row::New, MsgTimeS + 10},
        {"modem quiet", {"await rx timeout 300s", Talk, "log hangs up", "freeze 60s", "silence 110s"}, Row::New},
        {"keys in greeting", {"await tx timeout 300s", "wait 2s", "dtmf \"#0\"", "log hangs up", "busy 15s"},
         Row::NotNew},
        {"keys in message", {"await rx timeout 300s", Talk, "dtmf \"#0\"", "log hangs up", "silence 30s"},
         Row::New},
        {"three wrong codes", {"await rx timeout 300s", "dtmf 123412341234123412341", "log hangs up", "silence 60s"},
         Row::NotNew},
        {"message time", {"await rx timeout 300s", "log hangs up", "noise 120s 20"}, Row::New, MsgTimeS + 10},
        {"handset in greeting",
         {"await tx timeout 300s", "wait 25s", "handset up", Talk, "handset down", "log hangs up", "busy 15s"},
         Row::Heard},
        {"handset", {Talk, "handset down", "log hangs up", "busy 15s"}, Row::Heard, 10,
         "ring 4 every 15s handset-after 2"},
        {"sigterm", {"await rx timeout 300s", Talk, "log hangs up", "noise 60s 20"}, Row::New, 10,
         "ring 2 every 15s", S::Sigterm},
        {"unplugged", {"await rx timeout 300s", Talk, "log hangs up", "unplug"}, Row::New, 10, "ring 2 every 15s",
         S::Unplug},
        {"after all", {"await rx timeout 300s", Talk, "log hangs up", "busy 15s"}, Row::New},
    };
}

// What one cell found.
struct Cell
{
    bool pass = false;
    double releaseS = -1;
    QString why;
};

std::map<QString, std::vector<std::pair<QString, Cell>>>& matrix()
{
    static std::map<QString, std::vector<std::pair<QString, Cell>>> m;
    return m;
}

void printMatrix()
{
    std::cout << "\nCall-outcome matrix (seconds from the end of the call to the line freed, program time)\n";
    for (const auto& [profile, cells] : matrix()) {
        std::cout << profile.leftJustified(11).toStdString();
        for (const auto& [name, cell] : cells)
            std::cout << " | " << name.toStdString() << ": "
                      << (cell.pass ? QStringLiteral("pass %1").arg(cell.releaseS, 0, 'f', 1)
                                    : QStringLiteral("FAIL (%1)").arg(cell.why))
                             .toStdString();
        std::cout << "\n";
    }
    std::cout.flush();
}

double simTime(const QString& line)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[(\\d+\\.\\d+)\\]"));
    const auto m = stamp.match(line);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

class CallMatrix : public testing::TestWithParam<const char*>
{
protected:
    void TearDown() override
    {
        velmora.stopRun();
        printMatrix();
    }

    void plugIn()
    {
        ModemSim::Options options;
        options.profile = QLatin1String(GetParam());
        options.speed = Speed;
        options.extraArgs = {QStringLiteral("--link"), link};
        sim = std::make_unique<ModemSim>(options);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
    }
    void startRun()
    {
        velmora.startRun();
        ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 60000, 1, false));
    }
    // The simulator's lines from `from` on; the program's output is drained meanwhile.
    bool waitForSim(const QString& text, int from, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            velmora.output();
            if (sim->waitForLog(text, 100, from))
                return true;
        }
        return false;
    }
    QStringList rows()
    {
        return QString::fromUtf8(velmora.cli({QStringLiteral("list")}).out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void configure()
    {
        ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
        for (const char* key : {"Settings amRings 2", "Settings RemoteCode 4711", "Modem ringSpan 4000"}) {
            const QStringList words = QString::fromLatin1(key).split(QLatin1Char(' '));
            ASSERT_TRUE(velmora.set(words[0], words[1], words[2]));
        }
        ASSERT_EQ(velmora.cli({"set", "Settings", "MsgTime", QString::number(MsgTimeS)}).exitCode, 0);
        const auto greeting = velmora.cli({"greeting", "caller", "add", "5550111", "--text", LongGreeting});
        ASSERT_EQ(greeting.exitCode, 0) << greeting.err.constData();
        const auto short_ = velmora.cli({"greeting", "period", "default", "--text", "Please leave a message."});
        ASSERT_EQ(short_.exitCode, 0) << short_.err.constData();
    }

    Cell runCell(const Ending& e, const QString& number);
    Cell judge(const Ending& e, const QString& number, int from, int newBefore);
    Cell judgeRow(const Ending& e, const QString& number, double releaseS, int newBefore);

    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("modem"));
    std::unique_ptr<ModemSim> sim;
    testsupport::CliProcess velmora{data.path(), link};
};

Cell CallMatrix::runCell(const Ending& e, const QString& number)
{
    const int from = int(sim->log().size());
    const int newBefore = velmora.newCount();
    const int savedBefore = int(QString::fromUtf8(velmora.output()).count(QStringLiteral("-- File saved")));
    const QString over = QStringLiteral("over ") + number;
    QStringList lines{QStringLiteral("call"), QStringLiteral("cid NMBR=%1 NAME=\"MATRIX CALLER\"").arg(number),
                      QLatin1String(e.ring)};
    lines += e.lines;
    if (e.special != Ending::Special::Unplug)
        lines << QStringLiteral("await onhook timeout 600s") << QStringLiteral("log ") + over;
    for (const QString& line : lines)
        sim->command(line);

    if (e.special == Ending::Special::Sigterm) {
        if (!waitForSim(QStringLiteral(": hangs up"), from, 120000))
            return {false, -1, QStringLiteral("no message recording")};
        velmora.stopRun(30000);
        if (!waitForSim(over, from, 60000))
            return {false, -1, QStringLiteral("the call did not end")};
        Cell cell = judge(e, number, from, newBefore);
        startRun();
        return cell;
    }
    if (e.special == Ending::Special::Unplug) {
        if (!waitForSim(QStringLiteral("unplugged"), from, 120000))
            return {false, -1, QStringLiteral("not unplugged")};
        QFile::remove(link); // as udev removes the device of a modem unplugged
        if (!velmora.waitFor(QStringLiteral("-- File saved"), 30000, savedBefore + 1, false))
            return {false, -1, QStringLiteral("the recording was not saved")};
        const int opened = int(QString::fromUtf8(velmora.output()).count(QStringLiteral(" opened...")));
        plugIn();
        if (!velmora.waitFor(QStringLiteral(" opened..."), 60000, opened + 1, false))
            return {false, -1, QStringLiteral("not bound again")};
        return judgeRow(e, number, 0, newBefore); // the device is gone, and the line with it
    }
    if (!waitForSim(over, from, 180000))
        return {false, -1, QStringLiteral("the line was never freed")};
    return judge(e, number, from, newBefore);
}

Cell CallMatrix::judge(const Ending& e, const QString& number, int from, int newBefore)
{
    const QStringList log = sim->log().mid(from);
    double mark = -1, freed = -1, taken = -1;
    for (const QString& line : log) {
        if (line.contains(QStringLiteral("busy line")))
            return {false, -1, QStringLiteral("busy line at the call")};
        if (line.contains(QStringLiteral("line taken")) && taken < 0)
            taken = simTime(line);
        if (line.endsWith(QStringLiteral(": hangs up")) && mark < 0)
            mark = simTime(line);
        if (line.contains(QStringLiteral("line freed")))
            freed = simTime(line);
    }
    if (taken < 0 || freed < taken)
        return {false, -1, QStringLiteral("line never freed")};
    const double releaseS = std::max(0.0, (freed - mark) / Speed);
    if (releaseS > e.limitS)
        return {false, releaseS, QStringLiteral("freed after %1 s").arg(releaseS, 0, 'f', 1)};
    return judgeRow(e, number, releaseS, newBefore);
}

Cell CallMatrix::judgeRow(const Ending& e, const QString& number, double releaseS, int newBefore)
{
    Cell cell;
    cell.releaseS = releaseS;
    QStringList mine;
    for (const QString& r : rows())
        if (r.split(QLatin1Char('\t')).value(4) == number)
            mine << r;
    const int newAfter = velmora.newCount();
    if (e.row == Row::NotNew) {
        for (const QString& r : mine)
            if (r.split(QLatin1Char('\t')).value(8) == QLatin1String("0"))
                return {false, cell.releaseS, QStringLiteral("filed as a new message")};
    } else {
        if (mine.size() != 1)
            return {false, cell.releaseS, QStringLiteral("%1 rows").arg(mine.size())};
        const QString accessed = mine[0].split(QLatin1Char('\t')).value(8);
        if (accessed != QLatin1String(e.row == Row::New ? "0" : "1"))
            return {false, cell.releaseS, QStringLiteral("row accessed=%1").arg(accessed)};
    }
    for (const QString& r : mine) {
        const QString file = data.filePath(QStringLiteral("wav/")) + r.split(QLatin1Char('\t')).value(6);
        const auto soxi = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), file});
        if (soxi.exitCode != 0)
            return {false, cell.releaseS, QStringLiteral("sox cannot read the file")};
    }
    if (QLatin1String(e.name) == QLatin1String("code, then nothing") && newAfter != newBefore - 1)
        return {false, cell.releaseS, QStringLiteral("%1 new before, %2 after").arg(newBefore).arg(newAfter)};
    if (QLatin1String(e.name) == QLatin1String("code, every message") && newAfter != 0)
        return {false, cell.releaseS, QStringLiteral("%1 left new").arg(newAfter)};
    cell.pass = true;
    return cell;
}

TEST_P(CallMatrix, EveryEndingFreesTheLine)
{
    plugIn();
    configure();
    startRun();
    auto& row = matrix()[QLatin1String(GetParam())];
    int n = 100;
    for (const Ending& e : endings()) {
        const QString number = QStringLiteral("555%1").arg(++n, 4, 10, QLatin1Char('0'));
        const Cell cell = runCell(e, number);
        row.emplace_back(QLatin1String(e.name), cell);
        EXPECT_TRUE(cell.pass) << e.name << ": " << qPrintable(cell.why);
        if (HasFailure() && !cell.pass)
            std::cerr << "--- simulator log\n"
                      << qPrintable(sim->log().join(QLatin1Char('\n'))) << "\n--- run\n"
                      << velmora.output().constData() << "\n";
    }
}

INSTANTIATE_TEST_SUITE_P(Families, CallMatrix,
                         testing::Values("generic", "conexant", "usr", "old-serial", "rockwell"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             QString name = QLatin1String(info.param);
                             return name.remove(QLatin1Char('-')).toStdString();
                         });

} // namespace
