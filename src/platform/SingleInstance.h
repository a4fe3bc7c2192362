#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One running program per user and data folder. The first start listens on
// a local socket named after both; a later start asks it to restore its
// window and ends. A socket a crashed program left behind (nobody answers
// on it) is removed and taken over.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Role { First, Second, Failed };
    static inline const QByteArray RestoreRequest = "restore\n";
    static inline const QByteArray Acknowledgement = "ok\n";

    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's path: in $XDG_RUNTIME_DIR (else the temporary folder),
    // with the user id and a hash of the data folder's canonical path.
    static QString socketPath(const QString& dataFolder);

    // First: this process now answers later starts (restoreRequested);
    // Second: a running one was asked to restore its window; Failed: neither
    // (with why), and the program may go on as if it were the first.
    Role claim(QString* error = nullptr, int timeoutMs = 2000);

signals:
    void restoreRequested();

private:
    bool askRunning(int timeoutMs);
    void answer();

    QString m_path;
    QLocalServer m_server;
};
