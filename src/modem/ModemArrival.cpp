#include "TQVModem253.h"

#include "modem/Shielding.h"
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

// Whether the upper-cased text contains `word` (given in upper case).
bool containsWord(QByteArrayView text, QByteArrayView word)
{
    const qsizetype last = text.size() - word.size();
    const char first = word[0];
    for (qsizetype i = 0; i <= last; ++i) {
        if (upper(text[i]) != first)
            continue;
        qsizetype k = 1;
        while (k < word.size() && upper(text[i + k]) == word[k])
            ++k;
        if (k == word.size())
            return true;
    }
    return false;
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
    const QByteArray chunk = QByteArray::fromRawData(data, size); // not kept beyond this call
    DetectReply(chunk);
    if (VoiceState.load() == VoiceIdle)
        collectTextLines(chunk);
    else
        IdleLines.clear();
    // Voice data ends where the modem ends the stream: the text after its
    // DLE ETX (the OK) is not audio.
    qsizetype voiceEnd = size;
    forEachDlePair(chunk, [&](uint8_t code, qsizetype at) {
        if (at < voiceEnd && dleAction(code) == DleAction::EndOfData && lastCommand() == QLatin1String(ReceiveStopPair))
            voiceEnd = at;
        runDleAction(code, chunk);
    });
    qsizetype voiceSize = voiceEnd;
    if (VoiceState.load() == VoiceReceive) {
        voiceSize = stripShieldingInPlace(data, voiceEnd);
        const qsizetype rest = stripShieldingInPlace(data + voiceEnd, size - voiceEnd);
        std::memmove(data + voiceSize, data + voiceEnd, size_t(rest));
        size = voiceSize + rest;
    }
    if (auto handler = OnData)
        handler(QByteArray(data, size)); // a copy the handler may keep
    if (WaveWriter && VoiceState.load() == VoiceReceive)
        voiceDataPath(data, voiceSize);
}

// OK, ERROR and CONNECT, looked for in this chunk only: a reply split over
// two arrivals is not seen and its command times out.
void TQVModem253::DetectReply(const QByteArray& chunk)
{
    if (CallerIdCollecting)
        appendCallerIdChunk(chunk);
    QByteArrayView text = chunk;
    if (VoiceState.load() == VoiceIdle) {
        text = takeEcho(text);
        appendReplyText(text);
    }
    if (containsWord(text, "CONNECT") && VoiceState.load() == VoiceIdle) {
        raiseResult();
        enterStreamFromLastCommand();
        ReplyState = ReplyConnect;
    }
    const uint8_t voice = VoiceState.load();
    if (containsWord(text, "OK") && (voice <= VoiceReceive || answersDuplexStop())) {
        raiseResult();
        enterStreamFromLastCommand();
        ReplyState = ReplyOk;
    }
    if (containsWord(text, "ERROR") && VoiceState.load() == VoiceIdle) {
        raiseResult();
        ReplyState = ReplyError;
    }
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
    if (command == QLatin1String("AT+VRX"))
        VoiceState = VoiceReceive;
    else if (command == QLatin1String("AT+VTX"))
        VoiceState = VoiceTransmit;
    else if (command == QLatin1String("AT+VTR"))
        VoiceState = VoiceDuplex;
}

// In a duplex stream an OK counts only as the answer to its stop pair;
// otherwise the duplex stop could never succeed.
bool TQVModem253::answersDuplexStop() const
{
    return VoiceState.load() == VoiceDuplex && lastCommand() == QLatin1String(DuplexStopPair);
}
