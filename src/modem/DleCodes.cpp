#include "DleCodes.h"

namespace {

constexpr std::array<bool, 256> shieldedTable()
{
    std::array<bool, 256> table{};
    for (const uint8_t code : ShieldedCodes)
        table[code] = true;
    return table;
}

constexpr std::array<DleAction, 256> actionTable()
{
    std::array<DleAction, 256> t{};
    t[0x03] = DleAction::EndOfData;
    t['X'] = DleAction::CallerIdStart;
    t['.'] = DleAction::CallerIdEnd;
    t['/'] = DleAction::ToneOn;
    t['~'] = DleAction::ToneOff;
    t['R'] = DleAction::Ring;
    for (const char c : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', '*', '#'})
        t[uint8_t(c)] = DleAction::Digit;
    t['o'] = DleAction::RcvOverrun;
    t['h'] = DleAction::LclOnHook;
    t['H'] = DleAction::LclOffHook;
    t['s'] = DleAction::Silence;
    t['q'] = DleAction::Quiet;
    t['l'] = DleAction::LCI;
    t['L'] = DleAction::LCPR;
    t['w'] = DleAction::CallWait;
    t['r'] = DleAction::RingBack;
    t['b'] = DleAction::Busy;
    t['d'] = DleAction::Dialtone;
    t['K'] = DleAction::Reorder;
    t['u'] = DleAction::TrxUnderrun;
    t['p'] = DleAction::ExtOnHook;
    t['P'] = DleAction::ExtOffHook;
    t['v'] = DleAction::VoiceDetect;
    t['t'] = DleAction::HandsetOffHook;
    return t;
}

constexpr auto Shielded = shieldedTable();
constexpr auto Actions = actionTable();

} // namespace

bool isShieldedCode(uint8_t code)
{
    return Shielded[code];
}

DleAction dleAction(uint8_t code)
{
    return Actions[code];
}

const char* dleActionName(DleAction action)
{
    switch (action) {
    case DleAction::None: return "";
    case DleAction::EndOfData: return "END-OF-DATA";
    case DleAction::CallerIdStart: return "CALLERID-START";
    case DleAction::CallerIdEnd: return "CALLERID-END";
    case DleAction::ToneOn: return "TONE-ON";
    case DleAction::ToneOff: return "TONE-OFF";
    case DleAction::Ring: return "RING";
    case DleAction::Digit: return "DTMF";
    case DleAction::RcvOverrun: return "RECEIVE-OVERRUN";
    case DleAction::LclOnHook: return "LOCAL-ON-HOOK";
    case DleAction::LclOffHook: return "LOCAL-OFF-HOOK";
    case DleAction::Silence: return "SILENCE";
    case DleAction::Quiet: return "QUIET";
    case DleAction::LCI: return "LINE-CURRENT-INTERRUPTION";
    case DleAction::LCPR: return "LINE-CURRENT-REVERSAL";
    case DleAction::CallWait: return "CALL-WAITING";
    case DleAction::RingBack: return "RINGBACK";
    case DleAction::Busy: return "BUSY";
    case DleAction::Dialtone: return "DIALTONE";
    case DleAction::Reorder: return "REORDER";
    case DleAction::TrxUnderrun: return "TRANSMIT-UNDERRUN";
    case DleAction::ExtOnHook: return "EXTENSION-ON-HOOK";
    case DleAction::ExtOffHook: return "EXTENSION-OFF-HOOK";
    case DleAction::VoiceDetect: return "VOICE";
    case DleAction::HandsetOffHook: return "HANDSET-OFF-HOOK";
    }
    return "";
}

bool endsInOpenDle(QByteArrayView chunk)
{
    // A run of DLEs at the end pairs up from its start; an odd run leaves
    // its last DLE open.
    qsizetype run = 0;
    for (qsizetype i = chunk.size() - 1; i >= 0 && chunk[i] == DLE; --i)
        ++run;
    return run % 2 == 1;
}
