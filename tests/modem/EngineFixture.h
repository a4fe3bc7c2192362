#pragma once

#include "config/IniFile.h"
#include "modem/TQVModem253.h"
#include "core/TextSink.h"
#include "platform/FakeSerialPort.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Collects the engine's log lines without their time stamps.
class LineRecorder : public TextSink
{
public:
    void appendLine(const QString& line) override
    {
        const qsizetype arrow = line.indexOf(QLatin1String(" -> "));
        stamped.append(arrow >= 0);
        lines.append(arrow >= 0 ? line.mid(arrow + 4) : line);
    }
    QStringList lines;
    QList<bool> stamped;
};

// An engine wired to a port of type Port, a settings file in a temporary
// folder and a log recorder.
template <typename Port>
class EngineHarness : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ini = std::make_unique<IniFile>(dir.filePath(QStringLiteral("vlm.ini")));
        engine.setSerialPort(&port);
        engine.setIniFile(ini.get());
        engine.setLogger(&log);
    }

    QTemporaryDir dir;
    std::unique_ptr<IniFile> ini;
    LineRecorder log;
    Port port;
    TQVModem253 engine;
};

// An engine on a fake port. Poll rounds do not sleep; they are counted, so
// time-outs are exact and fast.
class EngineTest : public EngineHarness<FakeSerialPort>
{
protected:
    void SetUp() override
    {
        EngineHarness::SetUp();
        engine.setCmdTimeoutDur(1);
        engine.setSleepFunction([this](int ms) {
            ++sleeps;
            sleptMs += ms;
        });
    }

    void bind()
    {
        ASSERT_TRUE(engine.BindModem());
        port.clearWritten();
        log.lines.clear();
        sleeps = sleptMs = 0;
    }

    // Runs the event loop until the queued chunks have arrived.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    // Puts the engine into a voice stream as the modem would: the start
    // command answered with CONNECT.
    void enterStream(const QString& command)
    {
        port.addReply(command.toLatin1(), {"\r\nCONNECT\r\n"}, 1);
        engine.setSleepFunction([](int) {});
        ASSERT_EQ(engine.SendIfOpen(command), TQVModem253::ReplyConnect);
        engine.setSleepFunction([this](int ms) {
            ++sleeps;
            sleptMs += ms;
        });
        port.clearWritten();
        log.lines.clear();
        sleeps = sleptMs = 0;
    }

    int sleeps = 0;
    int sleptMs = 0;
};
