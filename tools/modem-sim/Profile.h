#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

// How the modem encodes voice samples on the serial line.
enum class Encoding { Unsigned8, Signed8, MuLaw, ALaw, ImaAdpcm, Signed16 };

struct Compression
{
    int cml;                // the number +VSM selects it by
    Encoding encoding;
    std::vector<int> rates; // sample rates it accepts
};

enum class RingStyle { Dle, Text };                  // in voice mode; data mode always says RING
enum class CallerIdStyle { DlePacket, Spaced, Compact, None };
enum class CallerIdTiming { BeforeFirstRing, AfterFirstRing };
enum class StopStyle { Plain, Escaped };             // Escaped: only DLE DLE DLE ETX / DLE DLE DLE !

// Everything that differs between modem families.
struct Profile
{
    std::string name;
    std::string summary;

    std::map<int, std::string> ati;       // ATI0 ... ATI10 answers (lines joined by \n)
    std::map<std::string, std::string> identity; // "+GMM" -> text; a missing key answers ERROR
    bool identityPrefix = false;          // "+GMM: text" rather than "text"
    std::string fclassRange;              // answer to +FCLASS=?
    std::set<int> fclasses;
    std::vector<std::string> vsmReply;    // lines of the +VSM=? answer, as the modem prints them
    std::vector<Compression> compressions;
    int defaultCml = 128;
    int defaultRate = 8000;
    std::vector<std::string> vlsReply;    // lines of the +VLS=? answer
    std::set<int> lineSources;
    std::map<std::string, std::string> ranges; // "+VGR" -> "(0-255)": answers to =?
    std::map<std::string, std::pair<int, int>> gainLimits; // accepted values of the gains
    bool blankLineBeforeOk = false;       // in answers to =? queries
    std::set<std::string> missing;        // commands this family answers with ERROR
    std::set<std::string> slow;           // commands answered only after SlowReplySeconds

    RingStyle voiceRing = RingStyle::Dle;
    CallerIdStyle callerId = CallerIdStyle::DlePacket;
    CallerIdTiming callerIdTiming = CallerIdTiming::AfterFirstRing;
    StopStyle stop = StopStyle::Plain;
    bool rxEndOkOnly = false;             // a receive stream's stop is answered by OK alone, no DLE ETX
    bool txIgnoresStop = false;           // a hung modem: its transmit stream goes on past the stop pair
    bool underrunAtStart = false;         // DLE u right after CONNECT of +VTX
    bool dleHAfterLineSelect = false;     // DLE H right after the OK of AT+VLS=1
    bool echoByDefault = true;
    bool reportsHangup = true;            // DLE b / K / d when busy, reorder, dial tone are heard
    bool dtmfWhileTransmitting = true;
    bool streamOnHook = false;            // +VRX/+VTX accepted on hook
    bool callerIdNeedsVcid = true;        // caller ID only after AT+VCID=1 or 2

    const Compression* compression(int cml) const;
    // Changes one behaviour by name (see README); false with a reason in error.
    static void markCommand(std::set<std::string>& commands, const std::string& value, bool marked);
    bool set(const std::string& key, const std::string& value, std::string& error);
};

// The built-in profiles, by name: generic, conexant, usr, old-serial, rockwell.
const std::vector<Profile>& builtinProfiles();
const Profile* findProfile(const std::string& name);

} // namespace sim
