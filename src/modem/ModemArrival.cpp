#include "TQVModem253.h"

#include "platform/SerialPort.h"

namespace {

// Longer than any reply a modem gives to one command; beyond it the bytes are
// not a reply (for instance voice data after a stream start that timed out).
constexpr qsizetype MaxReplyText = 64 * 1024;

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
    // The chunk is local: handlers called from the pipeline may run waits
    // that process further arrivals before this one is done.
    QByteArray chunk(count, Qt::Uninitialized);
    const qint64 got = port->read(chunk.data(), count);
    if (got <= 0)
        return;
    chunk.truncate(got);
    ProcessArrival(chunk);
}

void TQVModem253::ProcessArrival(const QByteArray& chunk)
{
    DetectReply(chunk);
}

// OK, ERROR and CONNECT, looked for in this chunk only: a reply split over
// two arrivals is not seen and its command times out.
void TQVModem253::DetectReply(const QByteArray& chunk)
{
    if (CallerIdCollecting)
        CallerIdBuffer.append(chunk);
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
