#include "web/WebService.h"

#include "calls/CallService.h"
#include "calls/EventLog.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "web/WebApp.h"
#include "web/WebCertificate.h"
#include "web/WebServer.h"

#include <QDir>

namespace {

QHostAddress addressOf(const QString& text)
{
    const QString t = text.trimmed();
    return t.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(t);
}

QString urlOf(bool secure, const QHostAddress& address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                                                                               : address.toString();
    return QStringLiteral("%1://%2:%3/").arg(secure ? QStringLiteral("https") : QStringLiteral("http"), host).arg(port);
}

} // namespace

WebService::WebService(CallService& service) : m_service(service) {}

WebService::~WebService() = default;

bool WebService::fail(const QString& why, QString* error)
{
    m_service.log().LogEvent(QStringLiteral("Web interface not started: ") + why);
    *error = why;
    stop();
    return false;
}

bool WebService::start(QString* error)
{
    IniFile& ini = m_service.ini();
    if (!settings::readBool(ini, keys::WebEnabled))
        return true;
    if (settings::readString(ini, keys::WebPasswordHash).trimmed().isEmpty())
        return fail(QStringLiteral("it has no password yet (velmora-cli web-password)"), error);
    const QHostAddress address = addressOf(settings::readString(ini, keys::WebAddress));
    if (address.isNull())
        return fail(QStringLiteral("\"%1\" is not an address").arg(settings::readString(ini, keys::WebAddress)), error);
    std::optional<QSslConfiguration> tls;
    QString why;
    if (!address.isLoopback()) {
        const QString certificate = settings::readString(ini, keys::WebCertificate).trimmed();
        tls = certificate.isEmpty()
            ? webcertificate::ownCertificate(QDir(m_service.dataFolder()).filePath(QStringLiteral("web")), &why)
            : webcertificate::load(certificate, settings::readString(ini, keys::WebPrivateKey).trimmed(), &why);
        if (!tls)
            return fail(why, error);
    }
    m_temp = std::make_unique<QTemporaryDir>();
    if (!m_temp->isValid())
        return fail(QStringLiteral("no temporary folder: ") + m_temp->errorString(), error);
    WebApp::Options options;
    options.sessionIdleMs = qint64(settings::readInteger(ini, keys::WebSessionMinutes)) * 60 * 1000;
    options.tempFolder = m_temp->path();
    m_app = std::make_unique<WebApp>(m_service, options);
    GateLimits limits;
    limits.uploadBytes = qint64(settings::readInteger(ini, keys::WebUploadMegabytes)) * 1024 * 1024;
    m_server = std::make_unique<WebServer>(*m_app, limits);
    if (!m_server->start(address, quint16(settings::readInteger(ini, keys::WebPort)), tls, &why))
        return fail(why, error);
    m_url = urlOf(tls.has_value(), address, m_server->port());
    QString line = QStringLiteral("Web interface at ") + m_url;
    if (tls) {
        const QString fingerprint = webcertificate::fingerprint(*tls);
        settings::writeString(ini, keys::WebFingerprint, fingerprint);
        line += QStringLiteral(" (certificate SHA-256 %1)").arg(fingerprint);
    }
    m_service.log().LogEvent(line);
    return true;
}

void WebService::stop()
{
    m_server.reset();
    m_app.reset();
    m_temp.reset();
    m_url.clear();
}
