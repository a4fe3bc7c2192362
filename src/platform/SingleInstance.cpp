#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_path(socketPath(dataFolder))
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::answer);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath(const QString& dataFolder)
{
    const QFileInfo info(dataFolder);
    const QString canonical = info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::tempPath();
    return QStringLiteral("%1/velmora-%2-%3.sock").arg(folder).arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::askRunning(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(RestoreRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.readLine() == Acknowledgement;
}

SingleInstance::Role SingleInstance::claim(QString* error, int timeoutMs)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (askRunning(timeoutMs))
            return Role::Second;
        // Nobody answers: a socket file left by a crash, or none at all.
        QLocalServer::removeServer(m_path);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (m_server.listen(m_path))
            return Role::First;
        // Another start was quicker: ask it instead.
    }
    if (error)
        *error = QStringLiteral("Cannot listen on %1: %2").arg(m_path, m_server.errorString());
    return Role::Failed;
}

void SingleInstance::answer()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == RestoreRequest) {
                socket->write(Acknowledgement);
                socket->flush();
                emit restoreRequested();
            }
            socket->disconnectFromServer();
        });
    }
}
