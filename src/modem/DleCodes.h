#pragma once

#include <QByteArrayView>
#include <array>
#include <cstdint>

inline constexpr char DLE = 0x10;

// The bytes that may follow DLE, in the order in which they are recognised
// and in which StripShielding removes their pairs.
inline constexpr std::array<uint8_t, 67> ShieldedCodes = {
    0x10, 0x1A, 0x03, 'Q', 'S', 'M', 'W', 'F', 'U', 'G', 'T', 'X', '.', '/', '~', 'R', '1',
    '2',  '3',  '4',  '5', '6', '7', '8', '9', '0', 'A', 'B', 'C', 'D', '*', '#', 'o', 'c',
    'e',  'h',  'H',  's', 'q', 'J', '$', 'l', 'L', 'w', 't', 'r', 'b', 'd', 'K', 'N', 'u',
    'p',  'P',  'a',  'f', 'v', 'V', 'g', 'i', 'E', 'Y', 'm', '%', '&', '\'', '(', ')'};

bool isShieldedCode(uint8_t code);

// What the engine does with the byte after a DLE.
enum class DleAction : uint8_t {
    None,
    EndOfData,     // ETX: ends the receive stream after DLE "!"
    CallerIdStart, // "X"
    CallerIdEnd,   // "."
    ToneOn,        // "/"
    ToneOff,       // "~"
    Ring,          // "R"
    Digit,         // "0".."9", "A".."D", "*", "#"
    RcvOverrun,
    LclOnHook,
    LclOffHook,
    Silence,
    Quiet,
    LCI,
    LCPR,
    CallWait,
    RingBack,
    Busy,
    Dialtone,
    Reorder,
    TrxUnderrun,
    ExtOnHook,
    ExtOffHook,
    VoiceDetect,
    HandsetOffHook, // "t": a handset on the line was lifted
};

DleAction dleAction(uint8_t code);

// The upper-case name of an event for people ("BUSY", "LOCAL-OFF-HOOK");
// empty for None.
const char* dleActionName(DleAction action);

// Whether the chunk ends in a DLE that has no code after it: a pair split
// between two arrivals.
bool endsInOpenDle(QByteArrayView chunk);
