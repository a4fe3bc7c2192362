// The catalogue at the size of years of use: 100,000 recordings in 50
// folders of 2,000, 2% of them new messages. Each operation is measured
// through the catalogue, then the same work in the sqlite3 shell on the same
// files, and the run ends with a table of the ratios.
//
//   build/bench/catalogue/bench_catalogue
#include "catalogue/Catalogue.h"
#include "catalogue/Query.h"
#include "catalogue/TableError.h"
#include "catalogue/TreeFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int Folders = 50;
constexpr int RowsPerFolder = 2000;
constexpr int NewEvery = 50; // one row in 50 is a new message

const QString NewMessagesSql = QStringLiteral("SELECT * FROM recordings WHERE accessed=false");

struct Fixture
{
    QTemporaryDir dir;
    QStringList folderKeys;
    QStringList someIds; // ids of rows in the first folder
    QString firstRowid = QStringLiteral("1");

    QString data() const { return dir.path(); }
    QString wav() const { return dir.path() + QStringLiteral("/wav/"); }
};

QString keyOf(int folder)
{
    return QStringLiteral("F%1").arg(folder, 8, 10, QLatin1Char('0'));
}

void fillFolders(Catalogue& catalogue, Fixture& f)
{
    Table& folders = catalogue.folders();
    f.folderKeys.append(catalogue.recordFolderId());
    for (int i = 1; i < Folders; ++i) {
        folders.append();
        folders.field(QStringLiteral("FolderId")).setText(keyOf(i));
        folders.field(QStringLiteral("FolderName")).setText(QStringLiteral("Folder %1").arg(i));
        folders.post();
        f.folderKeys.append(keyOf(i));
        catalogue.tree().roots[0].children.push_back(FolderNode{QStringLiteral("Folder %1").arg(i), keyOf(i), false, {}});
    }
    catalogue.tree().roots[0].expanded = true;
    catalogue.saveTree();
}

// Rows go in call order, so each folder's rows are spread over the file.
void fillRecordings(Catalogue& catalogue, Fixture& f)
{
    Table& calls = catalogue.calls();
    calls.setMasterLink(nullptr, QString(), QString());
    catalogue.database().beginBatch();
    const QDateTime base(QDate(2005, 1, 1), QTime(8, 0, 0));
    for (int i = 0; i < Folders * RowsPerFolder; ++i) {
        const QDateTime start = base.addSecs(qint64(i) * 600);
        const QString id = QStringLiteral("R%1").arg(i, 8, 10, QLatin1Char('0'));
        calls.append();
        auto set = [&calls](const char* name, const QVariant& value) {
            calls.field(QLatin1String(name)).setVariant(value);
        };
        set("id", id);
        set("Channel", 1);
        set("FolderId", f.folderKeys[i % Folders]);
        set("DateS", start.date());
        set("TimeS", start.time());
        set("Duration", QStringLiteral("01:23"));
        set("Comment", QStringLiteral("Caller %1").arg(i % 977));
        set("callerID", QStringLiteral("555%1").arg(i % 9973, 4, 10, QLatin1Char('0')));
        set("fileName", QStringLiteral("1_%1.wav").arg(start.toString(QStringLiteral("yyyyMMdd_HHmmss"))));
        set("fileSize", 80000 + i % 1000);
        set("accessed", i % NewEvery != 0);
        calls.post();
        if (i % Folders == 0 && f.someIds.size() < 500)
            f.someIds.append(id);
    }
    calls.commit();
}

std::unique_ptr<Fixture> theFixture;

Fixture& fixture()
{
    if (!theFixture) {
        auto made = std::make_unique<Fixture>();
        Catalogue catalogue(made->data(), made->wav());
        catalogue.OpenCatalogue();
        fillFolders(catalogue, *made);
        fillRecordings(catalogue, *made);
        theFixture = std::move(made);
    }
    return *theFixture;
}

// --- through the catalogue ------------------------------------------------------

void BM_OpenCatalogue(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        Catalogue catalogue(f.data(), f.wav());
        catalogue.OpenCatalogue();
        benchmark::DoNotOptimize(catalogue.calls().rowCount());
    }
}

// The part of opening that has no counterpart in the shell: the folder tree
// of 50 nodes from Tree.ini.
void BM_LoadTreeFromIni(benchmark::State& state)
{
    Fixture& f = fixture();
    const IniFile ini(f.data() + QStringLiteral("/Tree.ini"));
    for (auto _ : state) {
        FolderTree tree;
        LoadTreeFromIni(tree, ini);
        benchmark::DoNotOptimize(tree.nodeCount());
    }
}

// Written when the tree changed, on the next idle moment: every key is an
// atomic, synced rewrite of the file.
void BM_SaveTreeToIni(benchmark::State& state)
{
    Fixture& f = fixture();
    FolderTree tree;
    IniFile ini(f.data() + QStringLiteral("/Tree.ini"));
    LoadTreeFromIni(tree, ini);
    for (auto _ : state)
        if (!SaveTreeToIni(tree, ini))
            state.SkipWithError("Tree.ini could not be written");
}

// A tree of state.range(0) folders written and read back: every command of
// the command line opens the catalogue, which reads it.
void BM_LargeTreeSaveAndLoad(benchmark::State& state)
{
    QTemporaryDir dir;
    FolderTree tree;
    tree.roots.push_back(FolderNode{QStringLiteral("General"), QStringLiteral("F0"), true, {}});
    for (int i = 1; i < state.range(0); ++i)
        tree.roots[0].children.push_back(FolderNode{QStringLiteral("Folder %1").arg(i), keyOf(i), false, {}});
    IniFile ini(dir.filePath(QStringLiteral("Tree.ini")));
    for (auto _ : state) {
        if (!SaveTreeToIni(tree, ini))
            state.SkipWithError("Tree.ini could not be written");
        const IniFile fresh(ini.fileName());
        FolderTree loaded;
        LoadTreeFromIni(loaded, fresh);
        benchmark::DoNotOptimize(loaded.nodeCount());
    }
}

void BM_SwitchFolder(benchmark::State& state)
{
    Fixture& f = fixture();
    Catalogue catalogue(f.data(), f.wav());
    catalogue.OpenCatalogue();
    int next = 0;
    for (auto _ : state) {
        catalogue.folders().locate(QStringLiteral("FolderId"), f.folderKeys[next++ % Folders]);
        benchmark::DoNotOptimize(catalogue.calls().rowCount());
        benchmark::DoNotOptimize(catalogue.calls().field(QStringLiteral("id")).asText());
    }
}

void BM_NewMessagesQuery(benchmark::State& state)
{
    Fixture& f = fixture();
    Catalogue catalogue(f.data(), f.wav());
    catalogue.OpenCatalogue();
    for (auto _ : state) {
        Query query(catalogue.database(), NewMessagesSql);
        query.open();
        benchmark::DoNotOptimize(query.rowCount());
    }
}

void BM_LocateById(benchmark::State& state)
{
    Fixture& f = fixture();
    Catalogue catalogue(f.data(), f.wav());
    catalogue.OpenCatalogue();
    int next = 0;
    for (auto _ : state) {
        if (!catalogue.calls().locate(QStringLiteral("id"), f.someIds[next++ % f.someIds.size()]))
            state.SkipWithError("an id was not found");
        benchmark::DoNotOptimize(catalogue.calls().field(QStringLiteral("fileName")).asText());
    }
}

void BM_WalkFolder(benchmark::State& state)
{
    Fixture& f = fixture();
    Catalogue catalogue(f.data(), f.wav());
    catalogue.OpenCatalogue();
    Table& calls = catalogue.calls();
    for (auto _ : state) {
        int rows = 0;
        for (calls.first(); !calls.eof(); calls.next()) {
            for (int i = 0; i < calls.fieldCount(); ++i)
                benchmark::DoNotOptimize(calls.field(i).asVariant());
            ++rows;
        }
        if (rows != RowsPerFolder)
            state.SkipWithError("the folder does not hold 2,000 rows");
    }
}

// --- the same work in the sqlite3 shell -------------------------------------------
//
// A script repeats the statements `count` times; the time of the same
// script with no repetitions (start-up, attaching) is taken off, and the
// rest shared out. Output goes to /dev/null.

double shellSeconds(const QString& database, const QString& script)
{
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), database});
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (shell.exitCode() != 0)
        std::fprintf(stderr, "sqlite3: %s\n", shell.readAllStandardError().constData());
    return seconds;
}

using ScriptPart = std::function<QString(int)>;

void runShell(benchmark::State& state, const QString& database, const QString& prologue, const ScriptPart& body,
              int count)
{
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        state.SkipWithError("the sqlite3 shell is not installed");
        return;
    }
    QString script = prologue;
    for (int i = 0; i < count; ++i)
        script += body(i);
    for (auto _ : state) {
        const double empty = shellSeconds(database, prologue);
        const double full = shellSeconds(database, script);
        state.SetIterationTime(std::max(0.0, full - empty) / count);
    }
}

void BM_Shell_OpenCatalogue(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString folder = f.data() + QLatin1Char('/');
    runShell(state, QStringLiteral(":memory:"), QString(),
             [&](int) {
                 return QStringLiteral("ATTACH '%1Recordings.d' AS recordings; ATTACH '%1Folders.d' AS folders;"
                                       "SELECT * FROM folders LIMIT 1;"
                                       "SELECT rowid FROM recordings WHERE FolderId='%2' ORDER BY rowid;"
                                       "SELECT * FROM recordings WHERE rowid=%3;"
                                       "DETACH recordings; DETACH folders;\n")
                     .arg(folder, f.folderKeys[0], f.firstRowid);
             },
             1000);
}

void BM_Shell_SwitchFolder(benchmark::State& state)
{
    Fixture& f = fixture();
    runShell(state, f.data() + QStringLiteral("/Recordings.d"), QStringLiteral("SELECT 1;\n"),
             [&](int i) {
                 return QStringLiteral("SELECT * FROM recordings WHERE rowid=(SELECT min(rowid) FROM recordings "
                                       "WHERE FolderId='%1'); SELECT rowid FROM recordings WHERE FolderId='%1' "
                                       "ORDER BY rowid;\n")
                     .arg(f.folderKeys[i % Folders]);
             },
             1000);
}

void BM_Shell_NewMessagesQuery(benchmark::State& state)
{
    Fixture& f = fixture();
    runShell(state, f.data() + QStringLiteral("/Recordings.d"), QStringLiteral("SELECT 1;\n"),
             [&](int) { return NewMessagesSql + QStringLiteral(";\n"); }, 200);
}

void BM_Shell_LocateById(benchmark::State& state)
{
    Fixture& f = fixture();
    runShell(state, f.data() + QStringLiteral("/Recordings.d"), QStringLiteral("SELECT 1;\n"),
             [&](int i) {
                 return QStringLiteral("SELECT * FROM recordings WHERE rowid=(SELECT rowid FROM recordings "
                                       "WHERE id='%1' AND FolderId='%2' ORDER BY rowid LIMIT 1);\n")
                     .arg(f.someIds[i % f.someIds.size()], f.folderKeys[0]);
             },
             5000);
}

void BM_Shell_WalkFolder(benchmark::State& state)
{
    Fixture& f = fixture();
    runShell(state, f.data() + QStringLiteral("/Recordings.d"), QStringLiteral("SELECT 1;\n"),
             [&](int) {
                 return QStringLiteral("SELECT * FROM recordings WHERE FolderId='%1' ORDER BY rowid;\n")
                     .arg(f.folderKeys[0]);
             },
             200);
}

BENCHMARK(BM_OpenCatalogue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTreeFromIni)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTreeToIni)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LargeTreeSaveAndLoad)->Unit(benchmark::kMillisecond)->Arg(3000)->Iterations(3);
BENCHMARK(BM_SwitchFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewMessagesQuery)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateById)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Shell_OpenCatalogue)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Shell_SwitchFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Shell_NewMessagesQuery)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Shell_LocateById)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Shell_WalkFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Prints the usual table, then each operation against its shell figure.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_ms[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        std::printf("\n%-20s %12s %12s %8s\n", "operation", "catalogue", "sqlite3", "ratio");
        for (const char* name : {"OpenCatalogue", "SwitchFolder", "NewMessagesQuery", "LocateById", "WalkFolder"}) {
            const auto ours = m_ms.find(std::string("BM_") + name);
            const auto shell = m_ms.find(std::string("BM_Shell_") + name);
            if (ours == m_ms.end() || shell == m_ms.end())
                continue;
            std::printf("%-20s %9.3f ms %9.3f ms %8.2f\n", name, ours->second, shell->second,
                        shell->second > 0 ? ours->second / shell->second : 0.0);
        }
        ConsoleReporter::Finalize();
    }

private:
    std::map<std::string, double> m_ms;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    try {
        QElapsedTimer timer;
        timer.start();
        fixture();
        std::fprintf(stderr, "catalogue of %d rows built in %.1f s\n", Folders * RowsPerFolder,
                     double(timer.elapsed()) / 1000);
    } catch (const TableError& e) {
        std::fprintf(stderr, "cannot build the catalogue: %s\n", qPrintable(e.message()));
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    theFixture.reset(); // removes the files
    return 0;
}
