#pragma once

#include "audio/WaveFormat.h"
#include "modem/CallerId.h"
#include "modem/DleCodes.h"
#include "modem/InitScript.h"
#include "modem/ModemLines.h"
#include "modem/ModemProfile.h"
#include "modem/RingTracker.h"
#include "platform/SerialPort.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class IniFile;
class QFile;
class TdeAudioConvertor;
class TdeRIFFAudioWriter;
class ModemDefinitionView;
class TQVMdsp;
class QTimer;
class TextSink;
class WaitWindow;
class TransmitWorker;
struct LineFormat;

// The one component through which the program talks to a V.253 voice modem
// on one serial port: binding, the AT command transaction, the +FCLASS mode,
// the hook, voice streams and what arrives from the modem.
//
// Everything runs on the thread that owns the engine, except the few calls a
// transmit worker makes from its own thread (SetVoiceMode, GetVoiceState,
// StartVTX, EndTransmit). Waits are poll loops that sleep and then process
// the calling thread's events, so the port's notifications and the handlers
// of the published events run inside them and may call the engine again.
//
// Failures are reported by return codes. Command replies: 0 OK, 1 ERROR,
// 2 CONNECT, 3 no answer (time-out, or the port is gone).
class TQVModem253 : public QObject
{
    Q_OBJECT
public:
    enum Reply : int { ReplyOk = 0, ReplyError = 1, ReplyConnect = 2, ReplyTimeOut = 3 };
    enum Voice : uint8_t { VoiceIdle = 0, VoiceTransmit = 1, VoiceReceive = 2, VoiceDuplex = 3 };
    enum Mode : uint8_t { ModeData = 0, ModeFax = 1, ModeVoice = 2 };

    // The stop pairs: DLE "!" ends receiving, DLE ETX transmitting, DLE "^" duplex.
    static const QByteArray ReceiveStopPair;
    static const QByteArray TransmitStopPair;
    static const QByteArray DuplexStopPair;

    explicit TQVModem253(QObject* owner = nullptr);
    ~TQVModem253() override;

    // --- Published properties -------------------------------------------
    SerialPort* serialPort() const { return SerialPortRef.data(); }
    // Configures the port for the modem and closes it (see the .cpp).
    void setSerialPort(SerialPort* port);
    TextSink* logger() const { return Logger; }
    void setLogger(TextSink* sink) { Logger = sink; }
    TQVMdsp* dsp() const { return DSP; }
    void setDSP(TQVMdsp* analyser) { DSP = analyser; }
    IniFile* iniFile() const { return IniFileRef; }
    void setIniFile(IniFile* ini) { IniFileRef = ini; }
    // The format of recorded files; LoadProfile replaces it with the stored
    // file compression when there is one.
    const TdeWaveFormat& dteFmt() const { return DTEfmt; }
    void setDteFmt(const TdeWaveFormat& format) { DTEfmt = format; }
    int cmdTimeoutDur() const { return CmdTimeoutDur; }
    // Must be positive; kept within 1..3600.
    void setCmdTimeoutDur(int seconds) { CmdTimeoutDur = seconds < 1 ? 1 : seconds > 3600 ? 3600 : seconds; }
    WaitWindow* waitWindow() const { return WaitWindowRef; }
    void setWaitWindow(WaitWindow* window) { WaitWindowRef = window; }
    // The last command that took or freed the line and that the modem
    // acknowledged (any command: ATH, ATA, +VLS, the profile's hook strings,
    // the init script); "at+vls=0" before any.
    QString GetHook() const;
    // The line as the modem acknowledged it: taken (off hook) or free. A
    // closed port has dropped DTR, which frees it.
    bool lineTaken() const { return LineTaken.load(); }
    // This program sent a command that takes the line within the last `ms`
    // (counted from when it was sent, so a report that comes inside the
    // wait for its answer counts too).
    bool tookLineWithin(int ms) const;

    // --- Binding ----------------------------------------------------------
    // Loads the profile and opens the port; passes on SerialPortError. False
    // when there is no port or its open notification never came.
    bool BindModem();
    bool ReleaseModem();
    // Binds and runs the init strings and the script. Passes on
    // SerialPortError and InitScriptError.
    // False when the port does not open or the modem answers none of the
    // initialisation commands (said on the log).
    bool InitModem();
    bool LoadProfile();
    // The modem definition: lists the modems found and probes the one the
    // user picks, through the view set here; without a view it probes the
    // first one found and writes its messages to the log.
    void DefineModem();
    void setDefinitionView(ModemDefinitionView* view) { DefinitionView = view; }

    // --- Commands ---------------------------------------------------------
    int SendCommand(const QString& command);
    int SendIfOpen(const QString& command);
    int SendStopSequence(uint8_t voiceState, const QByteArray& stopPair);
    // For the probe: starts a short receive stream and ends it the plain
    // way, then the escaped way; the form that worked is used from then on.
    // Nothing when neither ended it (the port is then released).
    enum class StopForm { Plain, Escaped, None };
    StopForm FindStopForm();
    bool escapedStopPairs() const { return EscapeStopPairs.load(); }
    QString GetLastReply() const;
    uint8_t GetModemMode() const { return ModemMode.load(); }
    uint8_t GetVoiceState() const { return VoiceState.load(); }

    int SetFClass(const QString& command);
    int SetDataMode() { return SetFClass(QStringLiteral("at+fclass=0")); }
    int SetFaxClass1() { return SetFClass(QStringLiteral("at+fclass=1")); }
    int SetFaxClass2() { return SetFClass(QStringLiteral("at+fclass=2")); }
    int SetVoiceMode() { return SetFClass(QStringLiteral("at+fclass=8")); }

    int StartVRX();
    // Refused (1, nothing sent) while another stream runs.
    int StartVTX();
    int StartVTR() { return SendIfOpen(QStringLiteral("at+vtr")); }
    int StopVRX() { return SendStopSequence(VoiceReceive, ReceiveStopPair); }
    int StopVTX() { return SendStopSequence(VoiceTransmit, TransmitStopPair); }
    int StopVTR() { return SendStopSequence(VoiceDuplex, DuplexStopPair); }
    // `worker`: the transmit worker whose stream this ends (0: none).
    bool EndTransmit(quint64 worker = 0);

    // --- Recording a receive stream -----------------------------------------
    // Takes the line (voice mode, line select from on hook) and records it.
    bool StartRecording(const QString& fileName);
    // Starts receiving and writes what comes into the file, in DTEfmt, from
    // the stored modem compression. False when either fails; a stream that
    // started keeps running without a file until StopRecording.
    bool StartReceiveToFile(const QString& fileName);
    // Ends the stream, completes the file and goes on hook (unless told to
    // keep the line); true at once when nothing is received.
    bool StopRecording(bool hangUp = true);
    // Why the file of the last recording is incomplete (it stopped being
    // written while the live blocks went on); empty when it is whole.
    const QString& recordingProblem() const { return RecordingProblem; }
    // The convertors' outputs: live 8 kHz PCM and the file's format.
    void PCMConverted(const uint8_t* buffer, qint64 size);
    void FileConverted(const uint8_t* buffer, qint64 size);

    // Sending audio to the line, on a transmit worker (one at a time).
    // PlayWaveToLine takes the line into the transmit stream itself;
    // TransmitRaw sends 8 kHz 8-bit unsigned audio into a stream started
    // with StartVTX. Whether the audio reached the line shows in OnTrxEnd;
    // OnTransmitDone follows when the worker has ended.
    // Both return the id of the worker started (0: none was).
    quint64 PlayWaveToLine(const QString& fileName);
    // Stops the worker and waits for its end; true when nothing transmits
    // afterwards.
    bool StopWaveToLine();
    quint64 TransmitRaw(const QByteArray& data);
    // The worker whose stream ended last (OnTrxEnd), and the worker that
    // ended last (OnTransmitDone): a late notice is told from the next one.
    quint64 trxEndWorker() const { return TrxEndWorker; }
    quint64 doneWorker() const { return DoneWorker; }
    // Line time for the workers' pacing runs this many times faster than
    // real time (tests on a fake port).
    void setTransmitSpeed(double speed) { TransmitSpeed = speed > 0 ? speed : 1.0; }
    bool StopTransmitRaw();
    // A transmit worker is at work.
    bool transmitting() const;
    // A worker's failure, from its thread: reported on this one.
    void transmitFailed(const QString& why);

    // --- Profile commands -------------------------------------------------
    // Sends the profile string of one command; the hook commands also record
    // the acknowledged string in GetHook.
    int SendProfileCommand(ModemCommand command);
    int cmdVgr() { return SendProfileCommand(ModemCommand::sReceiveGain); }
    int cmdVgt() { return SendProfileCommand(ModemCommand::sTransmitGain); }
    int cmdVls() { return SendProfileCommand(ModemCommand::sSelectSource); }
    int cmdVsm() { return SendProfileCommand(ModemCommand::sVoiceCompression); }
    int cmdVtd() { return SendProfileCommand(ModemCommand::sToneDuration); }
    int cmdOnHook() { return SendProfileCommand(ModemCommand::sOnHook); }
    int cmdOffHook() { return SendProfileCommand(ModemCommand::sOffHook); }
    int cmdFlo() { return SendProfileCommand(ModemCommand::sFlowControl); }
    int cmdVit() { return SendProfileCommand(ModemCommand::sInactivityTimer); }
    int cmdVra() { return SendProfileCommand(ModemCommand::sRingbackAway); }
    int cmdVrn() { return SendProfileCommand(ModemCommand::sRingbackNever); }
    int cmdVsd() { return SendProfileCommand(ModemCommand::sSilDetection); }
    int cmdVdr() { return SendProfileCommand(ModemCommand::sDistinctiveRing); }
    int cmdVdt() { return SendProfileCommand(ModemCommand::sToneCadence); }
    int cmdVbt() { return SendProfileCommand(ModemCommand::sAssertDeassert); }
    int cmdVpp() { return SendProfileCommand(ModemCommand::sPacketProtocol); }
    int cmdVpr() { return SendProfileCommand(ModemCommand::sInterfaceRate); }
    int cmdUVrid() { return SendProfileCommand(ModemCommand::sRepeatUCID); }
    int cmdFVrid() { return SendProfileCommand(ModemCommand::sRepeatFCID); }
    int cmdNoVcid() { return SendProfileCommand(ModemCommand::sNoCallerID); }
    int cmdFVcid() { return SendProfileCommand(ModemCommand::sFCallerID); }
    int cmdUVcid() { return SendProfileCommand(ModemCommand::sUCallerID); }
    int cmdSpkPhone_0() { return SendProfileCommand(ModemCommand::sSpkPhone_0); }
    int cmdSpkPhone_1() { return SendProfileCommand(ModemCommand::sSpkPhone_1); }
    int cmdSpkPhone_2() { return SendProfileCommand(ModemCommand::sSpkPhone_2); }
    int cmdSpkPhone_3() { return SendProfileCommand(ModemCommand::sSpkPhone_3); }
    int cmdSpkPhone_4() { return SendProfileCommand(ModemCommand::sSpkPhone_4); }

    // --- Init script ------------------------------------------------------
    // Sends the init strings st1..st10, then runs the lines; always true.
    bool ExecuteScript(const QStringList& lines);
    // The modem driver's registry entry for the port: there is no such
    // registry here, so always empty.
    QString getModemRegistryKey() const { return QString(); }

    // --- Arrival pipeline -------------------------------------------------
    // The port's bytes-available notification: reads the bytes and runs the
    // pipeline on them.
    void PortTriggerAvail(int count);
    // The pipeline for one chunk as read from the port.
    void ProcessArrival(const QByteArray& chunk);
    // Splits a caller-ID record and raises the packet events.
    void ParseCallerID(const QStringList& lines);
    // Expiry of RingTimer: the caller stopped ringing (or the call was taken).
    void RingAwayTimer();
    // Forgets a ring-span measurement under way.
    void resetRingTicks() { Rings.resetTicks(); }

    // --- State for callers and tests ---------------------------------------
    bool portIsOpen() const { return PortIsOpen.load(); }
    uint8_t replyState() const { return ReplyState.load(); }
    QString lastCommand() const;
    const ModemProfile& profile() const { return Profile; }
    // For the probe, which sets the profile's strings as it writes them.
    ModemProfile& profileForUpdate() { return Profile; }
    // Replaces the sleep of every poll round (tests count rounds with it).
    void setSleepFunction(std::function<void(int ms)> sleep);
    // The time-stamp prefix of every log line.
    static QString TimeStampPrefix();
    // The millisecond tick clock of the ring timing; it may wrap at 2^32.
    void setTickClock(std::function<uint32_t()> clock);
    // Plain-text caller-ID lines make a record once the modem has been quiet
    // this long (or at the next ring).
    void setCallerIdQuietMs(int ms);
    int ringCounter() const { return Rings.ringCounter(); }
    const QTimer* ringTimer() const { return RingTimer; }
    bool dtmfToneOn() const { return DtmfToneOn; }

private:
    class ReplyWait;
    enum class WaitEnd { Done, Expired, PortGone };

    void PortOpened();
    void PortClosed();
    void configurePort(SerialPort& port);
    void setUpArrival();
    void setUpRecording();
    void openRecordingFile(const QString& fileName);
    void openConvertors();
    void abandonRecordingFile(const QString& fileName, bool fileExisted);
    void closeRecordingFile();
    void closeConvertors();
    void voiceDataPath(const char* data, qsizetype size);
    void convertRxBlock();
    void finishFileAudio();
    void gatherPcm(const uint8_t* data, qsizetype size);
    // One read moving through the arrival pipeline: bytes are taken from
    // `next` and kept, moved down, at `out`.
    struct ArrivalCursor
    {
        char* data;
        qsizetype size;
        qsizetype next = 0;
        qsizetype out = 0;
        // The position of the next `c` from `next` on, or `size`.
        qsizetype find(char c) const;
        void keep(qsizetype n);
    };
    void processChunk(char* data, qsizetype size);
    bool inVoiceData() const;
    void takeVoiceData(ArrivalCursor& at);
    void recordVoiceData(const char* data, qsizetype size);
    void takeText(ArrivalCursor& at);
    qsizetype readText(QByteArrayView text);
    bool readLine(QByteArrayView line);
    void acceptResult(uint8_t reply);
    void idleTextLine(const QString& line);
    void appendCallerIdChunk(const QByteArray& chunk);
    void runDleAction(uint8_t code, const QByteArray& rest);
    void endOfData();
    void raiseDleEvent(DleAction action);
    void dtmfDigit(char digit);
    void Ring(RingTracker::Source source);
    void callerIdStart(const QByteArray& rest);
    void callerIdEnd();
    void textCallerIdLine(const QString& line);
    void completeTextCallerId();
    QByteArrayView takeEcho(QByteArrayView text);
    void appendReplyText(QByteArrayView text);
    void enterStreamFromLastCommand();
    bool answersDuplexStop() const;
    void raiseResult();
    WaitEnd pollUntil(const std::function<bool()>& done, int sleepMs, int maxPolls, bool endOnPortLoss);
    bool portUsable() const;
    void setLastCommand(const QString& command);
    void expectEcho(const QByteArray& written);
    void Log(const QString& text) const;
    void logResult(int result, WaitEnd end) const;
    void rememberEscapedStops();
    int sendCommand(const QString& command, std::optional<bool> hookHint);
    void noteHook(const QString& command, bool taken);
    WaitEnd sendStopPair(const QByteArray& stopPair, bool escaped, int maxPolls);
    bool receiveStopPending() const;
    void matchStopOk(ArrivalCursor& at);
    void writeSetting(std::function<void(IniFile&)> write);
    void runAtdtCycle();
    LineFormat lineFormat() const;
    bool startWorker(std::unique_ptr<TransmitWorker> worker);
    bool stopWorker(int kind);
    void workerFinished(quint64 id);
    void reapEndedWorker();
    void stopWorkerForGood();
    void runOnEngineThread(std::function<void()> work);
    void sendInitStrings();
    void runScriptOp(ScriptOp op);

    // State, in the engine's declaration order.
    QPointer<SerialPort> SerialPortRef;
    TextSink* Logger = nullptr;
    TQVMdsp* DSP = nullptr;
    QTimer* RingTimer = nullptr;    // ring-away timer, owned
    std::atomic<bool> PortIsOpen{false};
    // Commands sent and those the modem answered at all (OK, ERROR, CONNECT).
    std::atomic<int> CommandsSent{0};
    std::atomic<int> CommandsAnswered{0};
    bool DtmfToneOn = false;
    bool DtmfReported = false;
    std::atomic<uint8_t> ModemMode{ModeData};
    std::atomic<uint8_t> VoiceState{VoiceIdle};
    QString LastCommand;                   // guarded by TextMutex
    std::atomic<uint8_t> ReplyState{ReplyOk};
    IniFile* IniFileRef = nullptr;
    TdeWaveFormat DTEfmt;
    int CmdTimeoutDur = 4;
    bool CallerIdCollecting = false;
    QByteArray CallerIdBuffer;
    QByteArray ReplyText;                  // guarded by TextMutex
    RingTracker Rings; // RingCounter, FirstRingTick, SecondRingTick
    QString HookCommand;                   // GetHook; guarded by TextMutex
    std::atomic<bool> LineTaken{false};
    std::atomic<bool> LineTakeSent{false};
    std::atomic<uint32_t> LineTakeTick{0};

public:
    // --- Published events: optional, called only when set -------------------
    using SenderEvent = std::function<void(TQVModem253* sender)>;
    SenderEvent OnPortOpen;
    SenderEvent OnPortClose;
    std::function<void(const QByteArray& data)> OnData;
    SenderEvent OnRing;
    std::function<void(int RingNum)> OnRingAway;
    std::function<void(const uint8_t* pcmData, int pcmDataSize)> OnPCMdata;
    std::function<void(char charDTMF)> OnDTMF;
    std::function<void(const QString& data)> OnResultString;
    std::function<void(const QString& sDate, const QString& sTime, const QString& sNumber, const QString& sName)>
        OnCallerID;
    std::function<void(const QString& sCmxMsg)> OnCmxMsg;
    std::function<void(const QString& sCmxError)> OnCmxError;
    std::function<void(const QString& sDron, const QString& sDroff)> OnDstvRing;
    std::function<void(const QString& sCpon, const QString& sCpoff)> OnCadence;
    SenderEvent OnRcvOverrun, OnLclOnHook, OnLclOffHook, OnSilence, OnQuiet, OnLCI, OnLCPR, OnCallWait,
        OnRingBack, OnBusy, OnDialtone, OnReorder, OnTrxUnderrun, OnExtOnHook, OnExtOffHook, OnVoiceDetect;
    SenderEvent OnHandsetOffHook; // DLE "t", which the published events lack
    SenderEvent OnTrxEnd;       // on the engine's thread, also for a worker's stream
    SenderEvent OnTransmitDone; // a transmit worker has ended
    std::function<void(const QString& message)> OnTransmitError; // "Error was created startWav2Line"

private:
    ModemProfile Profile;

    // Additions of this implementation.
    WaitWindow* WaitWindowRef = nullptr;
    mutable QMutex TextMutex;
    QByteArray PendingEcho;       // the command just written, as a modem with echo repeats it
    int EchoMatched = 0;
    std::atomic<bool> EscapeStopPairs{false}; // stop pairs go out behind an escaped DLE
    std::atomic<bool> EscapeNextStop{false};  // a plain stop pair went unanswered
    std::function<void(int ms)> Sleep;
    std::function<uint32_t()> TickClock;
    bool PendingDle = false;      // a chunk ended in the first byte of a DLE pair
    ModemLineAssembler Lines;     // the modem's text, cut into lines across reads
    std::atomic<bool> NumericResults{false}; // after ATV0: results are digits
    std::atomic<uint32_t> ResultLines{0};    // results recognised so far
    bool StreamEnded = false;     // the modem ended the stream it was asked to stop
    int StopOkMatched = 0;        // bytes of the OK that ends a stopped receive stream, seen so far
    bool DropStreamLineFeed = false;
    QStringList TextCallerId;     // plain-text caller-ID lines not yet reported
    QTimer* CallerIdQuietTimer = nullptr;

    // The receive path; fixed buffers, so recording allocates nothing per byte.
    std::unique_ptr<TdeAudioConvertor> MonitorConvertor; // to live 8 kHz PCM
    std::unique_ptr<TdeAudioConvertor> FileConvertor;    // to DTEfmt
    std::unique_ptr<QFile> WaveStream;                   // while recording
    std::unique_ptr<TdeRIFFAudioWriter> WaveWriter;      // on WaveStream; freed first
    std::array<uint8_t, 10001> ConvertScratch{};
    int PcmIndex = -1;
    std::array<uint8_t, 1536> PcmBlock{};
    int RxIndex = -1;
    std::array<uint8_t, 1536> RxBlock{};
    bool FlipSign = false;  // the modem sends signed 8-bit samples
    bool Recording = false; // the voice data path runs
    QString RecordingProblem;
    ModemDefinitionView* DefinitionView = nullptr;
    // The transmit worker running, one at a time; its done is its own.
    std::unique_ptr<TransmitWorker> Worker;
    quint64 WorkerIds = 0;
    quint64 TrxEndWorker = 0;
    quint64 DoneWorker = 0;
    double TransmitSpeed = 1.0;
};
