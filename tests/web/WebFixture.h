#pragma once

#include "calls/CallService.h"
#include "web/WebApp.h"
#include "web/WebServer.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A response as the raw bytes on the wire read it.
struct RawReply
{
    int status = 0;
    QHash<QByteArray, QByteArray> headers; // lower-case names
    QByteArray body;
    qint64 bytesSent = 0; // of the request, when the answer came
};

// Sends bytes to the server on localhost and reads until it closes; events
// run meanwhile, as the server lives in this thread. With `stopAt`, only
// that many bytes of the request are sent before the answer is waited for.
RawReply exchange(quint16 port, const QByteArray& request, qint64 stopAt = -1);

// A data folder with its call service opened (no modem), the web interface
// listening on a free port of 127.0.0.1, and a clock the test moves.
class WebFixture : public testing::Test
{
protected:
    static inline const QString Password = QStringLiteral("correct horse battery");

    void SetUp() override;
    void TearDown() override;

    // A request with the Host header and, when logged in, the session cookie.
    RawReply send(const QByteArray& method, const QByteArray& path, const QByteArray& body = QByteArray(),
                  const QList<QPair<QByteArray, QByteArray>>& headers = {});
    // A POST as the pages' script sends it: JSON and the cross-site token.
    RawReply action(const QByteArray& path, const QByteArray& json);
    RawReply tryPassword(const QString& password);
    void logIn();

    // A recording: a WAV file sox makes in the recordings folder (seconds of
    // a tone), and its row; the row's id.
    QString addRecording(const QString& number, const QString& memo, const QString& fileName, double seconds = 1,
                         const QStringList& encoding = {QStringLiteral("-b"), QStringLiteral("16")});
    QString wavFolder() const { return m_data.path() + QStringLiteral("/wav/"); }
    QString dataFolder() const { return m_data.path(); }

    qint64 now = 5000000;
    QByteArray cookie;
    QByteArray csrf;
    std::unique_ptr<CallService> service;
    std::unique_ptr<WebApp> app;
    std::unique_ptr<WebServer> server;

private:
    QTemporaryDir m_data;
    QTemporaryDir m_temp;
};
