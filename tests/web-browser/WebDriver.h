#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Headless Chromium through chromedriver's WebDriver protocol (HTTP and
// JSON on localhost), enough to drive a page as a person would.
class WebDriver
{
public:
    WebDriver() = default;
    ~WebDriver();

    static bool available();
    // Starts chromedriver and a browser session; false with error().
    bool start();
    const QString& error() const { return m_error; }

    void open(const QString& url);
    QString url();
    // The element's id, or empty when none matches.
    QString find(const QString& css);
    void click(const QString& css);
    void type(const QString& css, const QString& text);
    QJsonValue script(const QString& body, const QJsonArray& args = {});
    // Runs until the script's expression is true, or the time is up.
    bool waitFor(const QString& expression, int timeoutMs);
    void resize(int width, int height);
    bool screenshot(const QString& path);

private:
    QJsonObject call(const QByteArray& method, const QString& path, const QJsonObject& body = {});

    QProcess m_driver;
    QTemporaryDir m_profile;
    QString m_base;
    QString m_session;
    QString m_error;
};
