#include "web/GreetingsPage.h"
#include "web/PageFrame.h"
#include "web/RouteTable.h"
#include "web/WebContext.h"

#include "audio/AudioErrors.h"
#include "audio/AudioImport.h"
#include "calls/CallService.h"
#include "calls/GreetingForms.h"
#include "calls/GreetingPreview.h"
#include "calls/GreetingTable.h"
#include "config/CurrentSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>
#include <memory>

namespace {

constexpr int MaxSpokenText = 500;
constexpr int MaxStem = 40;

// A file name stem from what the browser says the file was called.
QString stemOf(const QString& uploadName)
{
    QString stem;
    for (const QChar c : QFileInfo(uploadName).completeBaseName())
        if (c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'_' || c == u'-'))
            stem += c;
    return stem.isEmpty() ? QStringLiteral("greeting") : stem.left(MaxStem);
}

QString freeTarget(const QString& folder, const QString& stem)
{
    QString target = folder + stem + QStringLiteral(".wav");
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = folder + QStringLiteral("%1_%2.wav").arg(stem).arg(n);
    return target;
}

// The uploaded bytes as a WAV greeting in the Msgs folder; its path, or
// empty with *why.
QString importUpload(WebContext& c, const QByteArray& bytes, const QString& name, QString* why)
{
    QTemporaryFile received(QDir(c.tempFolder).filePath(QStringLiteral("upload-XXXXXX")));
    if (!received.open() || received.write(bytes) != bytes.size() || !received.flush()) {
        *why = QStringLiteral("The upload cannot be stored: %1").arg(received.errorString());
        return QString();
    }
    const QString folder = greetings::messagesFolder(c.service.dataFolder());
    QDir().mkpath(folder);
    const QString target = freeTarget(folder, stemOf(name));
    try {
        ImportAudioFile(received.fileName(), target, greetingFormat());
    } catch (const EACMError& e) {
        *why = e.message();
        return QString();
    }
    return target;
}

bool useForPeriod(WebContext& c, int period, const QString& path)
{
    ScheduleForm form(c.service.ini(), c.service.settings(), c.service.dataFolder());
    form.setCurrent(period);
    form.setType(int(GreetingType::WavFile));
    form.setWavFile(path);
    return form.close();
}

bool useForCaller(WebContext& c, const QString& msgId, const QString& path)
{
    GreetingMessagesForm form(*c.service.greetings(), c.service.dataFolder());
    for (int i = 0; i < int(form.rows().size()); ++i) {
        if (form.rows()[size_t(i)].msgId != msgId)
            continue;
        form.setCurrent(i);
        form.setType(int(GreetingType::WavFile));
        form.setWavFile(path);
        return true;
    }
    return false;
}

bool callerExists(WebContext& c, const QString& msgId)
{
    if (!c.service.greetings())
        return false;
    for (const CallerGreeting& row : c.service.greetings()->rows())
        if (row.msgId == msgId)
            return true;
    return false;
}

WebResponse upload(WebContext& c, const RouteCall& call)
{
    const QString target = call.request.queryItem(QStringLiteral("target"));
    bool isNumber = false;
    const int period = target.startsWith(QLatin1String("period:")) ? target.mid(7).toInt(&isNumber) : -1;
    const QString msgId = target.startsWith(QLatin1String("caller:")) ? target.mid(7) : QString();
    if (!(isNumber && period >= 0 && period <= 3) && !callerExists(c, msgId))
        return WebResponse::text(404, QStringLiteral("There is no such greeting."));
    if (const QString why = whyNotAudio(call.request.body); !why.isEmpty())
        return WebResponse::text(415, QStringLiteral("The file is %1.").arg(why));
    QString why;
    const QString path = importUpload(c, call.request.body, call.request.queryItem(QStringLiteral("name")), &why);
    if (path.isEmpty())
        return WebResponse::text(415, why);
    const bool used = isNumber ? useForPeriod(c, period, path) : useForCaller(c, msgId, path);
    if (!used)
        return WebResponse::text(500, QStringLiteral("The greeting cannot be stored."));
    return WebResponse::json(QJsonObject{{QStringLiteral("file"), QFileInfo(path).fileName()}});
}

// Renders one text at a time into a WAV file the browser plays.
class SpokenGreetings
{
public:
    explicit SpokenGreetings(WebContext& c) : m_c(c) {}

    void render(const QString& text, const WebReply& reply)
    {
        if (!m_preview) {
            m_preview = std::make_unique<GreetingPreview>();
            QObject::connect(m_preview.get(), &GreetingPreview::saved, m_preview.get(),
                             [this](const QString& path, const QString& error) { saved(path, error); });
        }
        if (m_pending)
            return reply(WebResponse::text(503, QStringLiteral("Another greeting is being spoken; try again.")));
        const CallSettings& s = m_c.service.settings().values();
        m_preview->setVoice(s.ttsVoice, s.ttsVoiceId, s.ttsVolume);
        QString why;
        const QString path = QDir(m_c.tempFolder).filePath(QStringLiteral("spoken.wav"));
        m_pending = reply;
        if (!m_preview->saveTo(Greeting{GreetingType::Text, text, QStringLiteral("web")}, path, &why)) {
            m_pending = nullptr;
            reply(WebResponse::text(503, why));
        }
    }

private:
    void saved(const QString& path, const QString& error)
    {
        const WebReply reply = std::exchange(m_pending, nullptr);
        if (!reply)
            return;
        QFile file(path);
        if (!error.isEmpty() || !file.open(QIODevice::ReadOnly))
            return reply(WebResponse::text(500, error.isEmpty() ? file.errorString() : error));
        reply(WebResponse{200, "audio/wav", file.readAll(), {}});
    }

    WebContext& m_c;
    std::unique_ptr<GreetingPreview> m_preview;
    WebReply m_pending;
};

} // namespace

void addGreetingsRoutes(RouteTable& routes, WebContext& c)
{
    routes.get("/greetings", [&c](const RouteCall& call) {
        std::vector<CallerGreeting> callers = c.service.greetings() ? c.service.greetings()->rows() : std::vector<CallerGreeting>();
        c.service.settings().reloadIfChanged();
        return WebResponse::html(webpage::frame(webpage::Section::Greetings, call.csrf, c.answeringOn(),
                                                greetingspage::body(c.service.settings().values().periods, callers)));
    });
    routes.post("/api/greetings/upload", [&c](const RouteCall& call) { return upload(c, call); });
    auto spoken = std::make_shared<SpokenGreetings>(c);
    routes.post("/api/greetings/speak", [spoken](const RouteCall& call, const WebReply& reply) {
        const QString text = QJsonDocument::fromJson(call.request.body).object().value(QStringLiteral("text")).toString().trimmed();
        if (text.isEmpty() || text.size() > MaxSpokenText)
            return reply(WebResponse::text(400, QStringLiteral("Type a text of up to %1 characters.").arg(MaxSpokenText)));
        spoken->render(text, reply);
    });
}
