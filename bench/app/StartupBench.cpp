// The desktop program's start with 100,000 recordings in the catalogue, to
// a shown window with the list filled, and a switch between two folders.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "CatalogueSamples.h"

#include "app/FolderTreeWidget.h"
#include "app/MainWindow.h"
#include "app/RecordingsModel.h"
#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderOperations.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int Recordings = 100000;

// VELMORA_BENCH_FOLDER keeps the catalogue there (made once), for a look
// at the same queries in the sqlite3 shell.
struct SampleFolder
{
    QTemporaryDir temporary;
    struct
    {
        QString folder;
        QString path() const { return folder; }
    } dir{qEnvironmentVariableIsEmpty("VELMORA_BENCH_FOLDER") ? temporary.path() : qEnvironmentVariable("VELMORA_BENCH_FOLDER")};
    QString second;
    SampleFolder()
    {
        QDir().mkpath(dir.path());
        CallService service({dir.path(), nullptr, nullptr, nullptr});
        service.open(nullptr);
        if (service.catalogue().calls().rowCount() >= Recordings) {
            second = service.catalogue().tree().roots.size() > 1 ? service.catalogue().tree().roots[1].folderKey : QString();
            return;
        }
        second = FolderOperations(service.catalogue()).add(QString(), FolderOperations::Place::LastSibling);
        addSampleRecordings(service.catalogue(), Recordings - 500);
        addSampleRecordings(service.catalogue(), 500, second);
        service.catalogue().saveTree();
        service.shutDown();
    }
};

// The program as it stands once started, for what follows the start.
struct ShownWindow
{
    CallService service;
    MainWindow window;
    explicit ShownWindow(const QString& folder)
        : service({folder, nullptr, nullptr, nullptr}), window((service.open(nullptr), service))
    {
        service.setView(&window);
        window.show();
        QApplication::processEvents();
    }
    ~ShownWindow()
    {
        window.setExitRequested(true);
        window.close();
    }
};

SampleFolder& sample()
{
    static SampleFolder folder;
    return folder;
}

void StartToUsableWindow(benchmark::State& state)
{
    SampleFolder& folder = sample();
    for (auto _ : state) {
        CallService service({folder.dir.path(), nullptr, nullptr, nullptr});
        service.open(nullptr);
        MainWindow window(service);
        service.setView(&window);
        window.show();
        QApplication::processEvents(); // laid out and painted
        benchmark::DoNotOptimize(window.recordings()->rowCount());
        state.PauseTiming();
        window.setExitRequested(true);
        window.close();
        state.ResumeTiming();
    }
}
BENCHMARK(StartToUsableWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void SwitchFolders(benchmark::State& state)
{
    SampleFolder& folder = sample();
    ShownWindow shown(folder.dir.path());
    MainWindow& window = shown.window;
    const QString general = shown.service.catalogue().recordFolderId();
    bool toSecond = true;
    for (auto _ : state) {
        window.folderTree()->selectKey(toSecond ? folder.second : general);
        QApplication::processEvents();
        toSecond = !toSecond;
    }
}
BENCHMARK(SwitchFolders)->Unit(benchmark::kMillisecond)->Iterations(20);

// One keystroke in the live search box: every folder's rows that hold the text.
void LiveSearchKeystroke(benchmark::State& state)
{
    ShownWindow shown(sample().dir.path());
    MainWindow& window = shown.window;
    const QStringList typed = {QStringLiteral("5"), QStringLiteral("55"), QStringLiteral("555"), QStringLiteral("5553"),
                               QStringLiteral("smi"), QStringLiteral("smith")};
    int i = 0;
    for (auto _ : state) {
        window.searchBox()->setText(typed[i++ % typed.size()]);
        QApplication::processEvents();
    }
}
BENCHMARK(LiveSearchKeystroke)->Unit(benchmark::kMillisecond)->Iterations(12);

// Each text of the above on its own, after the empty box (the folder's list).
void LiveSearchText(benchmark::State& state)
{
    ShownWindow shown(sample().dir.path());
    MainWindow& window = shown.window;
    const QString texts[] = {QStringLiteral("5"), QStringLiteral("55"), QStringLiteral("555"), QStringLiteral("5553"),
                             QStringLiteral("smi"), QStringLiteral("smith")};
    const QString& text = texts[state.range(0)];
    state.SetLabel(text.toStdString());
    for (auto _ : state) {
        state.PauseTiming();
        window.searchBox()->clear();
        QApplication::processEvents();
        state.ResumeTiming();
        window.searchBox()->setText(text);
        QApplication::processEvents();
    }
    state.counters["rows"] = window.recordings()->rowCount();
}
BENCHMARK(LiveSearchText)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    sample();
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
