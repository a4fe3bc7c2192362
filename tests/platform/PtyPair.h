#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose far end the test drives directly: the test is the
// "modem" on the master side; the port under test opens slavePath().
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString slavePath() const { return m_path; }
    void send(const QByteArray& bytes);
    // Reads what the port sent, waiting up to timeoutMs for `count` bytes.
    QByteArray receive(int count, int timeoutMs = 3000);
    // Everything waiting right now.
    QByteArray receiveAvailable();
    // The modem disappears: both ends of the far side close.
    void unplug();

private:
    int m_master = -1;
    int m_slave = -1; // held open so the line stays up while the port is closed
    QString m_path;
};
