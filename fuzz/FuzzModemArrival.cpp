// Bytes from the modem: the engine's arrival pipeline on an idle line (text
// results, DLE codes, caller-ID lines and packets) in chunks as a port
// delivers them, and the capability replies the probe parses.
#include "config/IniFile.h"
#include "modem/CallerId.h"
#include "modem/CapabilityReplies.h"
#include "modem/CompressionRecord.h"
#include "modem/Shielding.h"
#include "modem/TQVModem253.h"
#include "modem/VsmParser.h"
#include "platform/FakeSerialPort.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdint>

namespace {

struct Line
{
    Line()
    {
        engine.setSerialPort(&port);
        engine.setIniFile(&ini);
        engine.setCmdTimeoutDur(1);
        engine.setSleepFunction([](int) {});
        engine.BindModem();
    }
    QTemporaryDir dir;
    IniFile ini{dir.filePath(QStringLiteral("vlm.ini"))};
    FakeSerialPort port;
    TQVModem253 engine;
};

Line* g_line = nullptr;

void parseReplies(const QByteArray& bytes)
{
    const QString text = QString::fromLatin1(bytes);
    for (const QString& line : replyLines(text)) {
        CompressionRecord record;
        ParseVsmLine(line, record);
        isCallerIdTextLine(line);
    }
    parseLineSources(text);
    parseGainReply(text, QStringLiteral("+VGR:"));
    parseCallerIdLines(text.split(QLatin1Char('\n')));
    splitPacketLines(bytes);
    StripShielding(bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    g_line = new Line;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    parseReplies(bytes);
    // The first byte sets the chunk size, as reads split a stream anywhere.
    const qsizetype chunk = bytes.isEmpty() ? 1 : 1 + uint8_t(bytes[0]) % 64;
    for (qsizetype at = 1; at < bytes.size(); at += chunk)
        g_line->port.deliver(bytes.mid(at, chunk));
    QCoreApplication::processEvents();
    return 0;
}
