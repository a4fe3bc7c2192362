#pragma once

#include "platform/SerialPort.h"

#include <QList>
#include <QMutex>
#include <functional>

// An in-process serial port for tests. What a test delivers arrives exactly
// in the chunks it was given, each as one bytes-available notification from
// the event loop, so chunk boundaries can be tested. Writes are recorded and
// can trigger scripted replies.
class FakeSerialPort : public SerialPort
{
    Q_OBJECT
public:
    explicit FakeSerialPort(QObject* parent = nullptr);

    // Queues one chunk; it arrives when the event loop next runs. Safe from
    // any thread.
    void deliver(const QByteArray& chunk);
    // When a write contains `trigger`, deliver each of `chunks` in turn.
    // Rules are tried in the order added; each fires at most `times` times
    // (-1: always).
    void addReply(const QByteArray& trigger, const QList<QByteArray>& chunks, int times = -1);
    // Called with every write, on the writer's thread, after the reply rules.
    void setWriteHook(std::function<void(const QByteArray&)> hook);
    void clearReplies();

    QByteArray written() const;
    void clearWritten();
    // The next open fails with this message (empty: opens normally); every
    // open until it is cleared when `sticky`.
    void setOpenError(const QString& message, bool sticky = false)
    {
        m_openError = message;
        m_openErrorSticky = sticky;
    }
    // The device disappears, as a USB modem that is unplugged.
    void vanish() { deviceLost(); }
    // Bytes the "device" has not yet sent; outBuffFree() counts them as used.
    void setOutputQueued(int bytes) { m_queued = bytes; }
    int openCount() const { return m_openCount; }
    int openAttempts() const { return m_openAttempts; }

protected:
    void doOpen() override;
    void doClose() override;
    qint64 doRead(char* buffer, qint64 max) override;
    qint64 doBytesAvailable() const override;
    bool doWrite(const QByteArray& bytes) override;
    int doOutputQueued() const override { return m_queued.load(); }

private:
    struct Reply
    {
        QByteArray trigger;
        QList<QByteArray> chunks;
        int timesLeft;
    };

    void arrive(const QByteArray& chunk);

    mutable QMutex m_mutex;
    QByteArray m_input;
    QByteArray m_written;
    QList<Reply> m_replies;
    std::function<void(const QByteArray&)> m_writeHook;
    QString m_openError;
    bool m_openErrorSticky = false;
    int m_openAttempts = 0;
    std::atomic<int> m_queued{0};
    int m_openCount = 0;
};
