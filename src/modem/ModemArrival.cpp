#include "TQVModem253.h"

#include "modem/DleCodes.h"
#include "platform/SerialPort.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Longer than any reply a modem gives to one command; beyond it the bytes are
// not a reply (for instance voice data after a stream start that timed out).
constexpr qsizetype MaxReplyText = 64 * 1024;
// The most bytes one arrival is processed as; a port buffer holds 2048.
constexpr qsizetype MaxChunk = 4096;

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

} // namespace

void TQVModem253::PortTriggerAvail(int count)
{
    SerialPort* port = SerialPortRef.data();
    if (!port || count <= 0)
        return;
    // The chunk lives on this call's stack: handlers called from the pipeline
    // may run waits that process further arrivals before this one is done,
    // and nothing is allocated per arrival. One byte in front is room for a
    // DLE carried over from the previous chunk.
    std::array<char, MaxChunk + 1> buffer;
    while (count > 0) {
        const qint64 got = port->read(buffer.data() + 1, std::min<qint64>(count, MaxChunk));
        if (got <= 0)
            return;
        count -= int(got);
        processChunk(buffer.data() + 1, got);
    }
}

void TQVModem253::ProcessArrival(const QByteArray& chunk)
{
    std::array<char, MaxChunk + 1> buffer;
    for (qsizetype at = 0; at < chunk.size(); at += MaxChunk) {
        const qsizetype size = std::min<qsizetype>(chunk.size() - at, MaxChunk);
        std::copy_n(chunk.constData() + at, size, buffer.data() + 1);
        processChunk(buffer.data() + 1, size);
    }
}

// `data` has one writable byte in front of it.
void TQVModem253::processChunk(char* data, qsizetype size)
{
    // A DLE pair split between two arrivals is joined again: otherwise its
    // event is lost and, while receiving, both bytes land in the recording.
    if (PendingDle) {
        *--data = DLE;
        ++size;
        PendingDle = false;
    }
    if (endsInOpenDle(QByteArrayView(data, size))) {
        --size;
        PendingDle = true;
    }
    if (size == 0)
        return;
    if (CallerIdCollecting)
        appendCallerIdChunk(QByteArray::fromRawData(data, size));
    // Text and voice data in the order they came: voice data from a receive
    // stream's CONNECT to its end (DLE ETX), text before and after. Both are
    // moved down in place as shielding pairs are taken out of the voice data.
    ArrivalCursor at{data, size};
    while (at.next < size) {
        if (inVoiceData())
            takeVoiceData(at);
        else
            takeText(at);
    }
    if (auto handler = OnData)
        handler(QByteArray(data, at.out)); // a copy the handler may keep
}

qsizetype TQVModem253::ArrivalCursor::find(char c) const
{
    const void* at = std::memchr(data + next, c, size_t(size - next));
    return at ? static_cast<const char*>(at) - data : size;
}

void TQVModem253::ArrivalCursor::keep(qsizetype n)
{
    if (out != next)
        std::memmove(data + out, data + next, size_t(n));
    out += n;
    next += n;
}

bool TQVModem253::inVoiceData() const
{
    const uint8_t voice = VoiceState.load();
    return (voice == VoiceReceive || voice == VoiceDuplex) && !StreamEnded;
}

// Voice data up to the next event and that event. DLE DLE is one data byte
// 0x10 (V.253), a DLE before a byte outside the shielded set stays data.
void TQVModem253::takeVoiceData(ArrivalCursor& at)
{
    if (receiveStopPending())
        return matchStopOk(at);
    if (DropStreamLineFeed) { // the LF of a CONNECT line whose CR ended the last read
        DropStreamLineFeed = false;
        if (at.data[at.next] == '\n')
            ++at.next;
    }
    const qsizetype voiceStart = at.out;
    while (at.next < at.size) {
        const qsizetype dle = at.find(DLE);
        at.keep(dle - at.next);
        if (dle == at.size)
            break;
        const auto code = uint8_t(at.data[dle + 1]);
        if (code == uint8_t(DLE)) {
            at.keep(1);
            ++at.next;
            continue;
        }
        if (!isShieldedCode(code)) {
            at.keep(2);
            continue;
        }
        // What came before an event is recorded before its handler runs,
        // which may stop the recording.
        recordVoiceData(at.data + voiceStart, at.out - voiceStart);
        at.next += 2;
        runDleAction(code, QByteArray::fromRawData(at.data + dle, at.size - dle));
        return;
    }
    recordVoiceData(at.data + voiceStart, at.out - voiceStart);
}

bool TQVModem253::receiveStopPending() const
{
    return VoiceState.load() == VoiceReceive && lastCommand() == QLatin1String(ReceiveStopPair);
}

// After our stop pair the stream is over for the recording: what still
// comes is dropped while the modem's end is looked for. Some modems end
// with DLE ETX (an event below), some with a bare OK line inside the data.
void TQVModem253::matchStopOk(ArrivalCursor& at)
{
    static constexpr char Ok[] = "\r\nOK\r";
    constexpr int OkLength = int(sizeof Ok) - 1;
    while (at.next < at.size && !StreamEnded) {
        const char c = at.data[at.next];
        if (c == DLE && at.next + 1 < at.size) {
            const auto code = uint8_t(at.data[at.next + 1]);
            const qsizetype pair = at.next;
            at.next += 2;
            StopOkMatched = 0;
            if (code != uint8_t(DLE) && isShieldedCode(code))
                runDleAction(code, QByteArray::fromRawData(at.data + pair, at.size - pair));
            continue;
        }
        ++at.next;
        StopOkMatched = c == Ok[StopOkMatched] ? StopOkMatched + 1 : (c == '\r' ? 1 : 0);
        if (StopOkMatched == OkLength) {
            StopOkMatched = 0;
            StreamEnded = true;
            Lines.clear();
            acceptResult(ReplyOk);
        }
    }
}

void TQVModem253::recordVoiceData(const char* data, qsizetype size)
{
    if (size > 0 && Recording && VoiceState.load() == VoiceReceive)
        voiceDataPath(data, size);
}

// Text up to the next DLE pair, then the pair's event. The text ends early
// where a CONNECT starts a receive stream: what follows it is voice data.
void TQVModem253::takeText(ArrivalCursor& at)
{
    const qsizetype dle = at.find(DLE);
    const qsizetype length = dle - at.next;
    const qsizetype taken = readText(QByteArrayView(at.data + at.next, length));
    at.keep(taken);
    if (taken < length || dle == at.size)
        return;
    const auto code = uint8_t(at.data[dle + 1]);
    runDleAction(code, QByteArray::fromRawData(at.data + dle, at.size - dle));
    at.keep(2); // OnData shows text with its pairs
}

// Feeds text to the line assembler; returns how much of it was text.
qsizetype TQVModem253::readText(QByteArrayView text)
{
    QByteArrayView reply = text;
    if (VoiceState.load() == VoiceIdle)
        reply = takeEcho(text);
    qsizetype appended = text.size() - reply.size();
    const auto appendUpTo = [&](qsizetype end) {
        if (end > appended && VoiceState.load() == VoiceIdle)
            appendReplyText(text.sliced(appended, end - appended));
        appended = std::max(appended, end);
    };
    const qsizetype taken = Lines.feed(text, [&](QByteArrayView line, qsizetype end) {
        appendUpTo(end);
        if (!readLine(line))
            return false;
        // The LF of the CONNECT line may come with the voice data.
        DropStreamLineFeed = text[end - 1] == '\r';
        return true;
    });
    appendUpTo(taken);
    return taken;
}

// One whole line of modem text. True when a receive stream has just
// started, so the rest of the read is voice data.
bool TQVModem253::readLine(QByteArrayView line)
{
    const uint8_t voice = VoiceState.load();
    switch (resultOfLine(line, NumericResults.load())) {
    case ResultCode::Connect:
        if (voice == VoiceIdle)
            acceptResult(ReplyConnect);
        break;
    case ResultCode::Ok:
        if (voice <= VoiceReceive || answersDuplexStop())
            acceptResult(ReplyOk);
        break;
    case ResultCode::Error:
        if (voice == VoiceIdle)
            acceptResult(ReplyError);
        break;
    case ResultCode::None:
        if (voice == VoiceIdle && !CallerIdCollecting)
            idleTextLine(QString::fromLatin1(line));
        break;
    }
    return inVoiceData();
}

void TQVModem253::acceptResult(uint8_t reply)
{
    raiseResult();
    if (reply != ReplyError)
        enterStreamFromLastCommand();
    // Answered: the OK of a later command sent without a name (+VTS after a
    // refused +VTX) must not start that stream.
    const QString command = lastCommand().toUpper();
    if (command == QLatin1String("AT+VRX") || command == QLatin1String("AT+VTX") || command == QLatin1String("AT+VTR"))
        setLastCommand(QString());
    ++ResultLines;
    ReplyState = reply;
}

// A modem with echo on (ATE1) first repeats the command it was sent. Those
// bytes are neither reply text nor searched for result words, so a command
// whose own text holds "OK" or "ERROR" cannot answer itself.
QByteArrayView TQVModem253::takeEcho(QByteArrayView text)
{
    QMutexLocker lock(&TextMutex);
    if (PendingEcho.isEmpty())
        return text;
    qsizetype i = 0;
    // The LF of the last result's CR LF, when the wait ended at its CR.
    if (EchoMatched == 0 && ReplyText.isEmpty() && !text.isEmpty() && text[0] == '\n')
        i = 1;
    while (i < text.size() && EchoMatched < PendingEcho.size()
           && upper(text[i]) == upper(PendingEcho[EchoMatched])) {
        ++i;
        ++EchoMatched;
    }
    if (i < text.size() || EchoMatched == PendingEcho.size())
        PendingEcho.clear(); // the echo is over, or this modem does not echo
    return text.sliced(i);
}

void TQVModem253::appendReplyText(QByteArrayView text)
{
    QMutexLocker lock(&TextMutex);
    const qsizetype room = MaxReplyText - ReplyText.size();
    if (room > 0)
        ReplyText.append(text.first(std::min(room, text.size())));
}

void TQVModem253::raiseResult()
{
    if (auto handler = OnResultString)
        handler(GetLastReply());
}

void TQVModem253::enterStreamFromLastCommand()
{
    const QString command = lastCommand().toUpper();
    uint8_t stream = VoiceIdle;
    if (command == QLatin1String("AT+VRX"))
        stream = VoiceReceive;
    else if (command == QLatin1String("AT+VTX"))
        stream = VoiceTransmit;
    else if (command == QLatin1String("AT+VTR"))
        stream = VoiceDuplex;
    if (stream == VoiceIdle)
        return;
    StreamEnded = false;
    DropStreamLineFeed = false;
    Lines.clear();
    VoiceState = stream;
}

// In a duplex stream an OK counts only as the answer to its stop pair;
// otherwise the duplex stop could never succeed.
bool TQVModem253::answersDuplexStop() const
{
    return VoiceState.load() == VoiceDuplex && lastCommand() == QLatin1String(DuplexStopPair);
}
