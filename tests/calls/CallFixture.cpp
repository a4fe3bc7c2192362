#include "CallFixture.h"

#include "config/CurrentSettings.h"

#include "audio/WaveFormat.h"
#include "catalogue/Table.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>

CallClock::TimerId ManualCallClock::after(int ms, std::function<void()> work)
{
    m_timers.push_back({m_now + std::max(0, ms), ++m_next, std::move(work)});
    return m_next;
}

void ManualCallClock::cancel(TimerId id)
{
    std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; });
}

void ManualCallClock::advance(qint64 ms)
{
    const qint64 target = m_now + ms;
    for (;;) {
        QCoreApplication::processEvents();
        auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const Timer& a, const Timer& b) {
            return a.due != b.due ? a.due < b.due : a.id < b.id;
        });
        if (next == m_timers.end() || next->due > target)
            break;
        m_now = std::max(m_now, next->due);
        auto work = std::move(next->work);
        m_timers.erase(next);
        work();
    }
    m_now = target;
}

void CallTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    dataFolder = dir.filePath(QStringLiteral("data"));
    QDir().mkpath(dataFolder);
    IniFile ini(dataFolder + QStringLiteral("/vlm.ini"));
    ini.beginUpdate();
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sOnHook"), QStringLiteral("at+vls=0"));
    ini.writeBool(QStringLiteral("Modem"), QStringLiteral("Voicefeatures"), true);
    ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
    ini.writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
    ini.writeBool(QStringLiteral("Settings"), QStringLiteral("Answering Machine"), false);
    ini.commitUpdate();
    port.setWriteHook([this](const QByteArray& bytes) { onWrite(bytes); });
    QObject::connect(&port, &SerialPort::portClosed, [this] { m_lineTaken = false; }); // DTR dropped
}

void CallTest::onWrite(const QByteArray& bytes)
{
    QMutexLocker lock(&m_writeMutex);
    if (m_transmitting) {
        takeTransmitted(bytes, 0);
        return;
    }
    if (bytes.contains("\x10!")) {
        if (onStopPair)
            onStopPair();
        if (answerStops)
            port.deliver(QByteArray("\x10\x03\r\nOK\r\n"));
        return;
    }
    pendingCommand += bytes;
    qsizetype end;
    while (!m_transmitting && (end = pendingCommand.indexOf('\r')) >= 0) {
        const QByteArray line = pendingCommand.left(end).toLower();
        pendingCommand.remove(0, end + 1);
        command(line);
    }
}

void CallTest::command(const QByteArray& line)
{
    if (onCommand)
        onCommand(line);
    if (line.startsWith("at+vls="))
        m_lineTaken = line.mid(7).toInt() != 0;
    else if (line == "ath" || line == "ath0" || line == "atz")
        m_lineTaken = false;
    if (line.startsWith("at+vrx")) {
        port.deliver(failRecording ? "\r\nERROR\r\n" : "\r\nCONNECT\r\n");
    } else if (line.startsWith("at+vtx")) {
        port.deliver(refuseTransmit ? "\r\nERROR\r\n" : "\r\nCONNECT\r\n");
        m_transmitting = !refuseTransmit;
        m_pendingDle = false;
        if (m_transmitting)
            m_transmissions.append(QByteArray());
    } else if (line.startsWith("at+vts")) {
        ++m_beepCommands;
        port.deliver(refuseBeep ? "\r\nERROR\r\n" : "\r\nOK\r\n");
    } else {
        port.deliver("\r\nOK\r\n");
        if (dleHAfterLineSelect && line.startsWith("at+vls=") && line.mid(7).toInt() != 0)
            port.deliver("\x10H");
    }
}

// Audio with its 0x10 bytes doubled, up to DLE ETX.
void CallTest::takeTransmitted(const QByteArray& bytes, qsizetype from)
{
    for (qsizetype i = from; i < bytes.size() && m_transmitting; ++i) {
        const char b = bytes[i];
        if (m_pendingDle) {
            m_pendingDle = false;
            if (b == 0x10)
                m_transmissions.last().append(b);
            else if (b == 0x03) {
                m_transmitting = false;
                port.deliver("\r\nOK\r\n");
            }
        } else if (b == 0x10) {
            m_pendingDle = true;
        } else {
            m_transmissions.last().append(b);
        }
    }
}

QList<QByteArray> CallTest::transmissions()
{
    QMutexLocker lock(&m_writeMutex);
    return m_transmissions;
}

void CallTest::key(char digit)
{
    deliver(QByteArray("\x10/\x10") + digit + QByteArray("\x10~"));
}

void CallTest::TearDown()
{
    service.reset();
}

void CallTest::start()
{
    service = std::make_unique<CallService>(CallService::Options{dataFolder, &port, &view, &clock});
    service->engine().setSleepFunction([](int) {});
    service->engine().setCallerIdQuietMs(0);
    QString error;
    ASSERT_EQ(service->start(&error), CallService::Start::Ready) << error.toStdString();
    settle();
    ASSERT_TRUE(service->engine().portIsOpen());
}

void CallTest::settle()
{
    for (int i = 0; i < 10; ++i)
        clock.advance(0);
}

void CallTest::deliver(const QByteArray& bytes)
{
    port.deliver(bytes);
    settle();
}

void CallTest::ring(int gapMs)
{
    clock.advance(gapMs);
    deliver(QByteArray("\x10R"));
}

void CallTest::callerId(const QString& number, const QString& name)
{
    deliver(QStringLiteral("\r\nDATE = 1209\r\nTIME = 1000\r\nNMBR = %1\r\nNAME = %2\r\n").arg(number, name).toLatin1());
    clock.advance(100);
    settle();
}

void CallTest::audio(int ms, bool silent)
{
    // Noise rather than a steady tone, which the detector takes for a periodic signal.
    QByteArray bytes(ms * 8, char(0x80));
    if (!silent)
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            noiseSeed = noiseSeed * 1103515245u + 12345u;
            bytes[i] = char(128 + int((noiseSeed >> 16) % 97) - 48);
        }
    port.deliver(bytes);
}

void CallTest::talk(int ms)
{
    for (int done = 0; done < ms; done += 200) {
        audio(200);
        clock.advance(200);
    }
    settle();
}

void CallTest::ringAway()
{
    service->engine().RingAwayTimer();
    settle();
}

void CallTest::set(const settings::Key& key, const QString& value)
{
    settings::writeString(service->ini(), key, value);
    service->settings().reloadIfChanged();
}

int CallTest::rowCount()
{
    Table& calls = service->catalogue().calls();
    calls.refresh();
    return calls.rowCount();
}

QString CallTest::lastRow(const char* field)
{
    Table& calls = service->catalogue().calls();
    calls.refresh();
    calls.last();
    return calls.field(QLatin1String(field)).asText();
}
