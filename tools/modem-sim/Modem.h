#pragma once

#include "AtInterpreter.h"
#include "LineAudio.h"
#include "Log.h"
#include "ModemState.h"
#include "Profile.h"
#include "Pty.h"
#include "VoiceStreams.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct ModemOptions
{
    size_t chunk = 0;       // write received bytes in chunks of this size (0: as they come)
    std::string captureDir; // where transmissions are saved as WAV files (empty: not saved)
};

using CallerIdFields = std::vector<std::pair<std::string, std::string>>;

// The simulated modem: its command state, its voice streams and the bytes it
// owes the host. service() is called every few milliseconds with the
// simulated time.
class Modem
{
public:
    Modem(const Profile& profile, const ModemOptions& options, Log& log, Pty& pty);

    void service(double now);
    Line& line() { return m_line; }
    Profile& profile() { return m_profile; }
    void setProfile(const Profile& profile);

    // What happens on the line, as the scenario says.
    bool ring();                                 // false when the line is off hook
    // A second caller while the line is taken: its caller ID (as the profile
    // sends it) and one ring report, as a modem with call waiting relays them.
    void callWaiting(const CallerIdFields& fields);
    void callerId(const CallerIdFields& fields); // formatted as the profile sends it
    void event(char code);                       // DLE + code, in any state
    void dtmfEvent(char code);                   // DLE + code where DTMF is detected
    void sendText(const std::string& text);
    // The local handset on the same line: DLE H / DLE h; lifting it ends ringing.
    void setHandset(bool offHook);
    bool handsetOffHook() const { return m_handsetOffHook; }

    // The modem hangs: it neither answers nor sends for that long (a USB
    // modem after days of uptime); dropping DTR still frees the line.
    void freeze(double seconds);
    bool frozen() const { return m_now < m_frozenUntil; }

    bool hostPresent() const { return m_hostPresent; }
    bool offHook() const { return m_state.offHook(); }
    bool receiving() const { return bool(m_rx); }
    bool transmitting() const { return bool(m_tx); }
    int fclass() const { return m_state.fclass; }
    // Every command line the host sent, in order.
    const std::vector<std::string>& commands() const { return m_commands; }

private:
    void reportRing();
    void readHost();
    void discardHostBytes();
    void noteLine();
    void processHostBytes();
    void noticeUnderrun();
    size_t commandBytes(const std::string& bytes);
    size_t receiveBytes(const std::string& bytes);
    void executeLine(const std::string& line);
    void startStream(StreamRequest which);
    void finishTransmit();
    void endStreams(const std::string& why);
    void produceReceive();
    void flush();
    void emit(const std::string& bytes);
    void result(const std::string& text);
    void later(double delay, std::function<void()> action);
    void answer(const AtReply& reply);

    Profile m_profile;
    ModemOptions m_options;
    Log& m_log;
    Pty& m_pty;
    ModemState m_state;
    AtInterpreter m_at;
    Line m_line;
    double m_now = 0;
    bool m_hostPresent = false;
    bool m_handsetOffHook = false;
    bool m_lineLogged = false;
    double m_takenAt = 0;      // what the caller heard while the line was taken
    double m_heardSeconds = 0;
    double m_txSince = 0;
    double m_frozenUntil = -1;
    bool m_thawed = false;
    char m_lastUnheard = 0;

    std::string m_hostIn;  // read from the host, not yet used
    std::string m_command; // the command line being typed
    std::string m_out;     // owed to the host
    std::vector<std::string> m_commands;
    std::vector<std::pair<double, std::function<void()>>> m_pending;

    std::unique_ptr<ReceiveStream> m_rx;
    std::unique_ptr<StreamDecoder> m_rxStop;
    bool m_overrun = false;
    bool m_underrun = false;
    std::unique_ptr<TransmitStream> m_tx;
    int m_captures = 0;

    bool m_chunkInFlight = false;
    bool m_chunkLanded = false;
    double m_chunkSince = 0;
};

} // namespace sim
