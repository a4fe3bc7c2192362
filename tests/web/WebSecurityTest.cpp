// The web interface's guards over real HTTP: sessions, cross-site requests,
// paths, upload sizes, escaping, ranges and password guessing.
#include "WebFixture.h"

#include "TestSupport.h"

#include "catalogue/Catalogue.h"
#include "catalogue/RecordingOperations.h"

#include <QDir>
#include <QFile>

namespace {

using WebSecurity = WebFixture;

TEST_F(WebSecurity, EveryRouteButLoginAndStaticFilesRefusesWithoutASession)
{
    const QString id = addRecording(QStringLiteral("5551234"), QStringLiteral("SMITH JOHN"), QStringLiteral("a.wav"));
    struct Case
    {
        QByteArray method, path;
        int status;
    };
    const QByteArray call = "/api/calls/" + id.toLatin1();
    const std::vector<Case> cases = {
        {"GET", "/", 303}, {"GET", "/rows", 303}, {"GET", "/status", 303}, {"GET", "/greetings", 303},
        {"GET", "/lists", 303}, {"GET", "/api/status", 401}, {"GET", "/audio/" + id.toLatin1(), 401},
        {"GET", "/audio/" + id.toLatin1() + "?download=1", 401}, {"POST", call + "/heard", 401},
        {"POST", call + "/memo", 401}, {"POST", call + "/move", 401}, {"POST", call + "/delete", 401},
        {"POST", "/api/answering", 401}, {"POST", "/api/greetings/upload?target=period:0", 401},
        {"POST", "/api/greetings/speak", 401}, {"POST", "/api/lists/add", 401}, {"POST", "/api/lists/remove", 401},
        {"POST", "/logout", 401}, {"GET", "/no-such-page", 303},
        {"GET", "/login", 200}, {"GET", "/static/app.js", 200}, {"GET", "/static/app.css", 200},
    };
    for (const Case& c : cases) {
        const RawReply reply = send(c.method, c.path, "{}", {{"Content-Type", "application/json"}});
        EXPECT_EQ(reply.status, c.status) << c.method.constData() << ' ' << c.path.constData();
        if (c.status != 200) {
            EXPECT_FALSE(reply.body.contains("5551234")) << c.path.constData();
            EXPECT_FALSE(reply.body.startsWith("RIFF")) << c.path.constData();
        }
    }
    // A made-up cookie is no session either.
    cookie = "forged";
    EXPECT_EQ(send("GET", "/api/status").status, 401);
    EXPECT_TRUE(RecordingOperations(service->catalogue()).rows({id}).at(0).comment == QLatin1String("SMITH JOHN"));
}

TEST_F(WebSecurity, ForgedCrossSitePostsAreRefused)
{
    const QString id = addRecording(QStringLiteral("5551234"), QStringLiteral("SMITH JOHN"), QStringLiteral("a.wav"));
    logIn();
    const QByteArray path = "/api/calls/" + id.toLatin1() + "/memo";
    const QByteArray body = R"({"memo":"forged"})";
    const QByteArray json = "application/json";
    struct Case
    {
        const char* what;
        QList<QPair<QByteArray, QByteArray>> headers;
        int status;
    };
    const std::vector<Case> cases = {
        {"no token", {{"Content-Type", json}}, 403},
        {"another token", {{"Content-Type", json}, {"X-CSRF-Token", "x" + csrf.mid(1)}}, 403},
        {"a form from another site", {{"Content-Type", "application/x-www-form-urlencoded"}}, 403},
        {"the token, but from another origin", {{"Content-Type", json}, {"X-CSRF-Token", csrf}, {"Origin", "http://evil.example"}}, 403},
        {"the token, but a cross-site fetch", {{"Content-Type", json}, {"X-CSRF-Token", csrf}, {"Sec-Fetch-Site", "cross-site"}}, 403},
    };
    for (const Case& c : cases)
        EXPECT_EQ(send("POST", path, body, c.headers).status, c.status) << c.what;
    // The login form itself from another site.
    cookie.clear();
    EXPECT_EQ(send("POST", "/login", "password=" + Password.toUtf8(),
                   {{"Content-Type", "application/x-www-form-urlencoded"}, {"Origin", "http://evil.example"}})
                  .status,
              403);
    // Another site's name for this machine (DNS rebinding) is not served at all.
    EXPECT_EQ(exchange(server->port(), "GET /login HTTP/1.1\r\nHost: evil.example:80\r\n\r\n").status, 421);
    logIn();
    EXPECT_EQ(RecordingOperations(service->catalogue()).rows({id}).at(0).comment, QStringLiteral("SMITH JOHN"));
    EXPECT_EQ(action(path, R"({"memo":"called back"})").status, 200);
    EXPECT_EQ(RecordingOperations(service->catalogue()).rows({id}).at(0).comment, QStringLiteral("called back"));
}

TEST_F(WebSecurity, NoPathLeavesTheRecordingsFolder)
{
    const QByteArray secret = "SECRET-OUTSIDE-THE-FOLDER";
    testsupport::writeFile(dataFolder() + QStringLiteral("/outside.wav"), secret);
    const QString plain = addRecording(QStringLiteral("5551234"), QString(), QStringLiteral("a.wav"));
    const QString up = addRecording(QStringLiteral("5551111"), QString(), QStringLiteral("../outside.wav"));
    const QString absolute = addRecording(QStringLiteral("5552222"), QString(), dataFolder() + QStringLiteral("/outside.wav"));
    QFile::link(dataFolder() + QStringLiteral("/outside.wav"), wavFolder() + QStringLiteral("link.wav"));
    const QString linked = addRecording(QStringLiteral("5553333"), QString(), QStringLiteral("link.wav"));
    logIn();
    ASSERT_EQ(send("GET", "/audio/" + plain.toLatin1()).status, 200);
    const QList<QByteArray> paths = {
        "/audio/" + up.toLatin1(), "/audio/" + absolute.toLatin1(), "/audio/" + linked.toLatin1(),
        "/audio/../outside.wav", "/audio/..%2Foutside.wav", "/audio/%2e%2e%2foutside.wav", "/audio/%2E%2E/outside.wav",
        "/audio/..%5Coutside.wav", "/audio/%2Fetc%2Fpasswd", "/audio//etc/passwd", "/audio/" + plain.toLatin1() + "/../../outside.wav",
        "/static/../outside.wav", "/static/%2e%2e/outside.wav", "/static/..%2f..%2foutside.wav", "/%2e%2e/outside.wav",
        "/audio/%00", "/audio/..", "/audio/%2e%2e", "/../../../etc/passwd", "/audio/a.wav", "/audio/outside.wav",
    };
    for (const QByteArray& path : paths) {
        const RawReply reply = send("GET", path);
        EXPECT_TRUE(reply.status == 404 || reply.status == 400) << path.constData() << " -> " << reply.status;
        EXPECT_FALSE(reply.body.contains(secret)) << path.constData();
        EXPECT_FALSE(reply.body.contains("root:")) << path.constData();
    }
}

TEST_F(WebSecurity, OversizedAndUnmeasuredBodiesAreRefusedBeforeTheyAreRead)
{
    logIn();
    const QByteArray head = "POST /api/greetings/upload?target=period:0 HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: vlm_session="
        + cookie + "\r\nX-CSRF-Token: " + csrf + "\r\nContent-Type: application/octet-stream\r\n";
    const QByteArray hundredMegabytes(100 * 1024 * 1024, 'x');
    const QByteArray request = head + "Content-Length: " + QByteArray::number(hundredMegabytes.size()) + "\r\n\r\n" + hundredMegabytes;
    const RawReply reply = exchange(server->port(), request, head.size() + 64 * 1024);
    EXPECT_EQ(reply.status, 413);
    EXPECT_LE(reply.bytesSent, head.size() + 64 * 1024);

    // Within the upload limit the body is read, whatever the query.
    EXPECT_EQ(send("POST", "/api/greetings/upload", QByteArray(1024 * 1024, 'x'), {{"X-CSRF-Token", csrf}}).status, 404);

    const RawReply chunked = exchange(server->port(), head + "Transfer-Encoding: chunked\r\n\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n");
    EXPECT_EQ(chunked.status, 411);
    const RawReply hugeHead = exchange(server->port(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " + QByteArray(64 * 1024, 'a'));
    EXPECT_EQ(hugeHead.status, 431);
    EXPECT_TRUE(QDir(dataFolder() + QStringLiteral("/Msgs")).entryList(QDir::Files).isEmpty());
}

TEST_F(WebSecurity, UploadsAreCheckedAsAudioBeforeAnythingIsWritten)
{
    logIn();
    const QString msgs = dataFolder() + QStringLiteral("/Msgs");
    auto upload = [this](const QByteArray& bytes, const QByteArray& name) {
        return send("POST", "/api/greetings/upload?target=period:1&name=" + name, bytes,
                    {{"Content-Type", "application/octet-stream"}, {"X-CSRF-Token", csrf}});
    };
    EXPECT_EQ(upload("#!/bin/sh\nrm -rf /\n", "evil.wav").status, 415);
    EXPECT_EQ(upload(QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16), "short.wav").status, 415);
    EXPECT_TRUE(QDir(msgs).entryList(QDir::Files).isEmpty());

    const QString ogg = dataFolder() + QStringLiteral("/hello.ogg");
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"), ogg,
                                                       QStringLiteral("synth"), QStringLiteral("1.5"), QStringLiteral("sine"),
                                                       QStringLiteral("300")}).exitCode, 0);
    const RawReply stored = upload(testsupport::readFile(ogg), "..%2F..%2Fhello.ogg");
    ASSERT_EQ(stored.status, 200) << stored.body.constData();
    const QStringList files = QDir(msgs).entryList(QDir::Files);
    ASSERT_EQ(files, QStringList{QStringLiteral("hello.wav")});
    // What sox reads of the stored greeting: the greetings' format, the whole length.
    const auto info = testsupport::run(QStringLiteral("soxi"), {msgs + QStringLiteral("/hello.wav")});
    EXPECT_TRUE(info.out.contains("Sample Rate    : 8000")) << info.out.constData();
    EXPECT_TRUE(info.out.contains("00:00:01.50")) << info.out.constData();
    EXPECT_TRUE(send("GET", "/greetings").body.contains("WAV file: hello.wav"));
}

TEST_F(WebSecurity, CallerTextShowsAsText)
{
    const QString id = addRecording(QStringLiteral("<script>alert(1)</script>"), QStringLiteral("<img src=x onerror=alert(2)>\"'&"),
                                    QStringLiteral("a.wav"));
    logIn();
    ASSERT_EQ(action("/api/lists/add", R"({"list":"block","caller":"5550000","note":"<script>alert(3)</script>"})").status, 200);
    for (const QByteArray& path : {QByteArray("/"), QByteArray("/rows?q=script"), QByteArray("/lists")}) {
        const QByteArray page = send("GET", path).body;
        EXPECT_FALSE(page.contains("<script>alert")) << path.constData();
        EXPECT_FALSE(page.contains("<img src=x")) << path.constData();
    }
    const QByteArray calls = send("GET", "/").body;
    // The number as the table keeps it (20 characters), as text.
    EXPECT_TRUE(calls.contains("&lt;script&gt;alert(1)&lt;/sc")) << calls.constData();
    EXPECT_TRUE(calls.contains("&lt;img src=x onerror=alert(2)&gt;&quot;&#39;&amp;"));
    EXPECT_TRUE(send("GET", "/lists").body.contains("&lt;script&gt;alert(3)&lt;/script&gt;"));
    EXPECT_TRUE(send("GET", "/").headers.value("content-security-policy").contains("script-src 'self'"));
    EXPECT_FALSE(id.isEmpty());
}

TEST_F(WebSecurity, RangeRequestsReturnTheRightBytes)
{
    const QString id = addRecording(QStringLiteral("5551234"), QString(), QStringLiteral("a.wav"), 2);
    const QByteArray file = testsupport::readFile(wavFolder() + QStringLiteral("a.wav"));
    const qint64 size = file.size();
    ASSERT_GT(size, 30000);
    logIn();
    struct Case
    {
        QByteArray range;
        int status;
        qint64 first, last;
    };
    const std::vector<Case> cases = {
        {"", 200, 0, size - 1},
        {"bytes=0-99", 206, 0, 99},
        {"bytes=1000-", 206, 1000, size - 1},
        {"bytes=-500", 206, size - 500, size - 1},
        {"bytes=30000-30000", 206, 30000, 30000},
        {"bytes=100-" + QByteArray::number(size + 5000), 206, 100, size - 1},
        {"bytes=" + QByteArray::number(size) + "-", 416, 0, -1},
        {"bytes=500-100", 200, 0, size - 1},
        {"bytes=0-1,5-6", 200, 0, size - 1},
        {"pages=1-2", 200, 0, size - 1},
    };
    for (const Case& c : cases) {
        QList<QPair<QByteArray, QByteArray>> headers;
        if (!c.range.isEmpty())
            headers.append({"Range", c.range});
        const RawReply reply = send("GET", "/audio/" + id.toLatin1(), QByteArray(), headers);
        ASSERT_EQ(reply.status, c.status) << c.range.constData();
        if (c.status == 416) {
            EXPECT_EQ(reply.headers.value("content-range"), "bytes */" + QByteArray::number(size));
            continue;
        }
        EXPECT_EQ(reply.body, file.mid(c.first, c.last - c.first + 1)) << c.range.constData();
        if (c.status == 206)
            EXPECT_EQ(reply.headers.value("content-range"),
                      "bytes " + QByteArray::number(c.first) + '-' + QByteArray::number(c.last) + '/' + QByteArray::number(size));
    }
}

TEST_F(WebSecurity, WrongPasswordsAreSlowedDownPerAddress)
{
    std::vector<int> statuses;
    for (int i = 0; i < 10; ++i) {
        statuses.push_back(tryPassword(QStringLiteral("guess %1").arg(i)).status);
        now += 1000;
    }
    EXPECT_EQ(statuses, (std::vector<int>{401, 401, 401, 401, 429, 401, 429, 429, 429, 401}));
    // While the wait lasts even the right password is not looked at.
    const RawReply locked = tryPassword(Password);
    EXPECT_EQ(locked.status, 429);
    EXPECT_GT(locked.headers.value("retry-after").toInt(), 1);
    EXPECT_TRUE(locked.headers.value("set-cookie").isEmpty());
    now += 5 * 60 * 1000;
    EXPECT_EQ(tryPassword(Password).status, 303);
}

} // namespace
