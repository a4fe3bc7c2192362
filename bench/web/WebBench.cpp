// The calls page over a catalogue of 100,000 recordings (one folder, as a
// machine that has answered for years and was never tidied): the server's
// own time per request, without the network.
//
//   build/bench/web/bench_web
//   build/bench/web/bench_web --serve 8765     (for page_load.py: serves the
//                                              same catalogue, password "benchmark")
#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "web/PasswordHash.h"
#include "web/WebApp.h"
#include "web/WebServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

constexpr int Rows = 100000;
constexpr int NewEvery = 50;
const QString Password = QStringLiteral("benchmark");
const char* const Surnames[] = {"SMITH", "JONES", "TAYLOR", "BROWN", "WILSON", "EVANS", "THOMAS", "JOHNSON", "ROBERTS", "WALKER"};

void fill(Catalogue& catalogue)
{
    Table& calls = catalogue.calls();
    catalogue.database().beginBatch();
    const QDateTime base(QDate(2010, 1, 1), QTime(8, 0, 0));
    for (int i = 0; i < Rows; ++i) {
        const QDateTime start = base.addSecs(qint64(i) * 1800);
        calls.append();
        auto set = [&calls](const char* name, const QVariant& value) { calls.field(QLatin1String(name)).setVariant(value); };
        set("id", QStringLiteral("R%1").arg(i, 8, 10, QLatin1Char('0')));
        set("Channel", 1);
        set("FolderId", catalogue.recordFolderId());
        set("DateS", start.date());
        set("TimeS", start.time());
        set("Duration", QStringLiteral("00:00:%1").arg(10 + i % 50));
        set("Comment", QStringLiteral("%1 %2").arg(QLatin1String(Surnames[i % 10])).arg(i % 977));
        set("callerID", QStringLiteral("555%1").arg(i % 9973, 4, 10, QLatin1Char('0')));
        set("fileName", QStringLiteral("1_%1.wav").arg(start.toString(QStringLiteral("yyyyMMdd_HHmmss"))));
        set("fileSize", 80000);
        set("accessed", i % NewEvery != 0);
        calls.post();
    }
    calls.commit();
}

struct Site
{
    QTemporaryDir data;
    QTemporaryDir temp;
    std::unique_ptr<CallService> service;
    std::unique_ptr<WebApp> app;
    QByteArray cookie;

    Site()
    {
        QDir().mkpath(data.filePath(QStringLiteral("wav")));
        service = std::make_unique<CallService>(CallService::Options{data.path(), nullptr, nullptr, nullptr});
        QString error;
        if (!service->open(&error))
            qFatal("%s", qPrintable(error));
        fill(service->catalogue());
        settings::writeString(service->ini(), keys::WebPasswordHash, passwordhash::make(Password));
        WebApp::Options options;
        options.tempFolder = temp.path();
        app = std::make_unique<WebApp>(*service, options);
        const WebResponse login = request("POST", "/login", "password=" + Password.toUtf8());
        if (login.status != 303)
            qFatal("login: %d %s", login.status, login.body.constData());
        for (const auto& [name, value] : login.headers)
            if (name == "Set-Cookie")
                cookie = value.mid(value.indexOf('=') + 1, value.indexOf(';') - value.indexOf('=') - 1);
    }

    WebResponse request(const QByteArray& method, const QByteArray& target, const QByteArray& body = QByteArray())
    {
        WebRequest r;
        r.method = method;
        const QList<QByteArray> parts = target.split('?');
        r.path = parts.first();
        if (parts.size() > 1)
            r.query = QUrlQuery(QString::fromLatin1(parts[1]));
        r.headers.insert("host", "127.0.0.1:8765");
        r.headers.insert("content-type", "application/x-www-form-urlencoded");
        if (!cookie.isEmpty())
            r.headers.insert("cookie", WebApp::SessionCookie + '=' + cookie);
        r.body = body;
        r.peer = QHostAddress::LocalHost;
        WebResponse out;
        app->handle(r, [&out](WebResponse response) { out = std::move(response); });
        return out;
    }
};

Site& site()
{
    static Site s;
    return s;
}

void get(benchmark::State& state, const QByteArray& target)
{
    Site& s = site();
    qint64 bytes = 0;
    for (auto _ : state) {
        const WebResponse response = s.request("GET", target);
        if (response.status != 200)
            state.SkipWithError("not 200");
        bytes = response.body.size();
    }
    state.counters["bytes"] = double(bytes);
}

void BM_CallsPage(benchmark::State& state) { get(state, "/"); }
void BM_CallsPageFar(benchmark::State& state) { get(state, "/rows?page=1500"); }
void BM_SearchNumber(benchmark::State& state) { get(state, "/rows?q=5551234"); }
void BM_SearchName(benchmark::State& state) { get(state, "/rows?q=walker%20976"); }
void BM_SearchCommon(benchmark::State& state) { get(state, "/rows?q=555"); }
void BM_SearchShort(benchmark::State& state) { get(state, "/rows?q=55"); }
void BM_Status(benchmark::State& state) { get(state, "/api/status"); }

int serve(quint16 port)
{
    Site& s = site();
    WebServer server(*s.app, GateLimits{});
    QString error;
    if (!server.start(QHostAddress::LocalHost, port, std::nullopt, &error)) {
        std::fprintf(stderr, "bench_web: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("serving http://127.0.0.1:%d/ (%d recordings, password %s)\n", server.port(), Rows, qPrintable(Password));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

BENCHMARK(BM_CallsPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CallsPageFar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchNumber)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchCommon)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchShort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Status)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--serve")
        return serve(quint16(QByteArray(argv[2]).toUShort()));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
