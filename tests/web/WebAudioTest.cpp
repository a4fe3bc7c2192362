// Recordings in the modem's formats reach the browser as WAV it plays:
// PCM as it is, the others converted, each as long as sox reads the original.
#include "WebFixture.h"

#include "TestSupport.h"

#include <QTemporaryDir>

namespace {

using WebAudio = WebFixture;

double soxiSeconds(const QString& path)
{
    return testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), path}).out.trimmed().toDouble();
}

QString soxiEncoding(const QString& path)
{
    return QString::fromUtf8(testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-e"), path}).out.trimmed());
}

TEST_F(WebAudio, RecordingsInModemFormatsArePlayableAndDownloadAsTheyAre)
{
    struct Case
    {
        const char* file;
        QStringList encoding;
        const char* served; // soxi's name of the encoding the browser gets
    };
    const std::vector<Case> cases = {
        {"pcm16.wav", {"-b", "16"}, "Signed Integer PCM"},
        {"pcm8.wav", {"-b", "8", "-e", "unsigned-integer"}, "Unsigned Integer PCM"},
        {"ulaw.wav", {"-e", "u-law"}, "Signed Integer PCM"},
        {"adpcm.wav", {"-e", "ima-adpcm"}, "Signed Integer PCM"},
        {"gsm.wav", {"-e", "gsm-full-rate"}, "Signed Integer PCM"},
    };
    QTemporaryDir received;
    std::vector<QString> ids;
    for (const Case& c : cases)
        ids.push_back(addRecording(QStringLiteral("5551234"), QString(), QLatin1String(c.file), 1.5, c.encoding));
    logIn();
    for (size_t i = 0; i < cases.size(); ++i) {
        const QString original = wavFolder() + QLatin1String(cases[i].file);
        const QString served = received.filePath(QLatin1String(cases[i].file));
        const RawReply play = send("GET", "/audio/" + ids[i].toLatin1());
        ASSERT_EQ(play.status, 200) << cases[i].file << play.body.left(200).constData();
        testsupport::writeFile(served, play.body);
        EXPECT_EQ(soxiEncoding(served), QLatin1String(cases[i].served)) << cases[i].file;
        EXPECT_NEAR(soxiSeconds(served), soxiSeconds(original), 0.03) << cases[i].file;

        const RawReply download = send("GET", "/audio/" + ids[i].toLatin1() + "?download=1");
        EXPECT_EQ(download.body, testsupport::readFile(original)) << cases[i].file;
        EXPECT_EQ(download.headers.value("content-disposition"), "attachment; filename=\"" + QByteArray(cases[i].file) + '"');
    }
}

} // namespace
