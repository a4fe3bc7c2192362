#include "Profile.h"

#include <cctype>

namespace sim {

namespace {

std::map<std::string, std::string> standardRanges(const std::string& gain)
{
    return {{"+VGR", gain}, {"+VGT", gain}, {"+VGM", gain}, {"+VGS", gain},
            {"+VIT", "(0-255)"}, {"+VRA", "(0-255)"}, {"+VRN", "(0-255)"},
            {"+VSD", "(0-255),(0-255)"}, {"+VDR", "(0-1),(0-255)"}, {"+VDT", "(0-1),(0-255)"},
            {"+VBT", "(0-2048),(0-2048)"}, {"+VPP", "(0-1)"}, {"+VPR", "(0-7)"},
            {"+VRID", "(0-1)"}, {"+VCID", "(0-2)"}, {"+VSP", "(0-4)"}, {"+VTD", "(0-255)"},
            {"+VNH", "(0-2)"}, {"+FLO", "(0-2)"}, {"+IFC", "(0-2),(0-2)"}};
}

std::map<std::string, std::pair<int, int>> gains(int low, int high)
{
    return {{"+VGR", {low, high}}, {"+VGT", {low, high}}, {"+VGM", {low, high}}, {"+VGS", {low, high}}};
}

std::vector<std::string> vlsLines(int count)
{
    static const char* const sources[] = {
        "0,\"\",00000000,00000000,00000000",     "1,\"T\",00000000,00000000,00000000",
        "2,\"L\",00000000,00000000,00000000",    "3,\"LT\",00000000,00000000,00000000",
        "4,\"S\",00000000,00000000,00000000",    "5,\"ST\",00000000,00000000,00000000",
        "6,\"M\",00000000,00000000,00000000",    "7,\"MST\",00000000,00000000,00000000"};
    return {sources, sources + count};
}

std::set<int> upTo(int count)
{
    std::set<int> s;
    for (int i = 0; i < count; ++i)
        s.insert(i);
    return s;
}

Profile generic()
{
    Profile p;
    p.name = "generic";
    p.summary = "V.253 as the standard writes it: DLE R rings, DLE X caller-ID packets, plain stop pairs";
    p.ati = {{0, "56000"}, {1, "255"}, {2, "OK"}, {3, "Velmora simulated voice modem"},
             {4, "Generic V.253 Voice Modem"}, {5, "1"}, {6, "Simulated data pump"},
             {7, "Simulated controller"}, {8, ""}, {9, ""}, {10, ""}};
    p.identity = {{"+GMI", "Simulated Modems Inc."}, {"+GMM", "Generic V.253 Voice Modem"},
                  {"+GMR", "1.0"}, {"+FMI", "Simulated Modems Inc."},
                  {"+FMM", "Generic V.253 Voice Modem"}, {"+FMR", "1.0"}};
    p.fclassRange = "0,1,2,8";
    p.fclasses = {0, 1, 2, 8};
    p.vsmReply = {"128,\"8-BIT LINEAR\",8,0,(7200,8000,11025),(0),(0)",
                  "129,\"SIGNED PCM\",8,0,(8000),(0),(0)",
                  "130,\"16-BIT LINEAR\",16,0,(7200,8000,11025),(0),(0)",
                  "131,\"ULAW\",8,0,(8000),(0),(0)",
                  "132,\"ALAW\",8,0,(8000),(0),(0)",
                  "133,\"IMA ADPCM\",4,0,(7200,8000,11025),(0),(0)"};
    p.compressions = {{128, Encoding::Unsigned8, {7200, 8000, 11025}}, {129, Encoding::Signed8, {8000}},
                      {130, Encoding::Signed16, {7200, 8000, 11025}}, {131, Encoding::MuLaw, {8000}},
                      {132, Encoding::ALaw, {8000}}, {133, Encoding::ImaAdpcm, {7200, 8000, 11025}}};
    p.vlsReply = vlsLines(8);
    p.lineSources = upTo(8);
    p.ranges = standardRanges("(0,128-255)");
    p.gainLimits = gains(128, 255);
    return p;
}

// A USB voice modem of the Conexant family as users on /dev/ttyACM0 have it.
Profile conexant()
{
    Profile p = generic();
    p.name = "conexant";
    p.summary = "USB voice modem of the Conexant family: DLE R rings, caller ID as spaced text lines "
                "between the first and second ring, stops only after an escaped DLE, DLE u at each "
                "transmit start, no +FLO (+IFC instead), no +VPR";
    p.ati = {{0, "56000"}, {1, "OK"}, {2, "OK"}, {3, "CX93-SIM_V0.1-V92"}, {4, "USB Voice Modem"},
             {5, "1"}, {6, "OK"}, {7, "OK"}, {8, "OK"}, {9, "OK"}, {10, "OK"}};
    p.identity = {{"+GMI", "CX SIMULATED"}, {"+GMM", "V90/V92 USB Voice Modem"}, {"+GMR", "V0.2002-V92"},
                  {"+FMI", "CX SIMULATED"}, {"+FMM", "V90/V92 USB Voice Modem"}, {"+FMR", "V0.2002-V92"}};
    p.identityPrefix = true;
    p.fclassRange = "0,1,1.0,8";
    p.fclasses = {0, 1, 8};
    p.vsmReply = {"128,\"8-BIT LINEAR\",(7200,8000,11025)", "129,\"16-BIT LINEAR\",(7200,8000,11025)",
                  "130,\"8-BIT ALAW\",(8000)", "131,\"8-BIT ULAW\",(8000)",
                  "132,\"IMA ADPCM\",(7200,8000,11025)"};
    p.compressions = {{128, Encoding::Unsigned8, {7200, 8000, 11025}},
                      {129, Encoding::Signed16, {7200, 8000, 11025}}, {130, Encoding::ALaw, {8000}},
                      {131, Encoding::MuLaw, {8000}}, {132, Encoding::ImaAdpcm, {7200, 8000, 11025}}};
    p.vlsReply = vlsLines(8);
    p.ranges = standardRanges("(0-255)");
    p.gainLimits = gains(0, 255);
    p.missing = {"+FLO", "+VPR", "+VRID"};
    p.callerId = CallerIdStyle::Spaced;
    p.stop = StopStyle::Escaped;
    p.rxEndOkOnly = true;
    p.underrunAtStart = true;
    p.reportsHangup = false;
    p.dtmfWhileTransmitting = false;
    return p;
}

// An external USRobotics-like voice modem.
Profile usr()
{
    Profile p = generic();
    p.name = "usr";
    p.summary = "USRobotics-like voice modem: text RING, caller ID as DATE=... lines without blanks, "
                "DLE H after AT+VLS=1, lower-case +VSM=? answers, narrow gain range";
    p.ati = {{0, "5601"}, {1, "OK"}, {2, "OK"}, {3, "Simulated Robotics 56K Faxmodem"},
             {4, "Simulated Robotics 56K Faxmodem"}, {5, "OK"}, {6, "OK"}, {7, "Product type: External"},
             {8, "OK"}, {9, "OK"}, {10, "OK"}};
    p.identity = {{"+GMI", "Simulated Robotics"}, {"+GMM", "56K Voice Faxmodem"}, {"+GMR", "2.1.3"},
                  {"+FMI", "Simulated Robotics"}, {"+FMM", "56K Voice Faxmodem"}, {"+FMR", "2.1.3"}};
    p.fclassRange = "0,1,2.0,8";
    p.fclasses = {0, 1, 8};
    p.vsmReply = {"+vsm: 0,\"signed pcm\",8,0,8000,0,0", "+vsm: 1,\"unsigned pcm\",8,0,8000,0,0",
                  "+vsm: 4,\"ulaw\",8,0,8000,0,0", "+vsm: 129,\"ima adpcm\",4,0,8000,0,00"};
    p.compressions = {{0, Encoding::Signed8, {8000}}, {1, Encoding::Unsigned8, {8000}},
                      {4, Encoding::MuLaw, {8000}}, {129, Encoding::ImaAdpcm, {8000}}};
    p.defaultCml = 1;
    p.vlsReply = vlsLines(4);
    p.lineSources = upTo(4);
    p.ranges = standardRanges("(122-134)");
    p.gainLimits = gains(122, 134);
    p.blankLineBeforeOk = true;
    p.missing = {"+VRID", "+VPR", "+VSP"};
    p.voiceRing = RingStyle::Text;
    p.callerId = CallerIdStyle::Compact;
    p.dleHAfterLineSelect = true;
    p.reportsHangup = false;
    return p;
}

// An old serial voice modem: semicolon-separated +VSM=?, 7200 samples/s by
// default, caller ID before the first ring (as in the UK).
Profile oldSerial()
{
    Profile p = generic();
    p.name = "old-serial";
    p.summary = "older serial voice modem: +VSM=? with semicolons, 7200 samples/s by default, text RING, "
                "spaced caller ID before the first ring, no +FLO";
    p.ati = {{0, "28800"}, {1, "OK"}, {2, "OK"}, {3, "Serial Voice Modem 2.0"}, {4, "Serial Voice Modem"},
             {5, "OK"}, {6, "OK"}, {7, "OK"}, {8, "OK"}, {9, "OK"}, {10, "OK"}};
    p.identity = {{"+FMI", "Simulated Serial"}, {"+FMM", "Serial Voice Modem"}, {"+FMR", "2.0"}};
    p.vsmReply = {"1;\"2 Bit ADPCM\";2;0;(7200)", "2;\"4 Bit ADPCM\";4;0;(7200)",
                  "4;\"8-BIT ULAW\";8;0;(7200,8000)", "128;\"8-BIT LINEAR\";8;0;(7200,8000)"};
    p.compressions = {{4, Encoding::MuLaw, {7200, 8000}}, {128, Encoding::Unsigned8, {7200, 8000}}};
    p.defaultCml = 128;
    p.defaultRate = 7200;
    p.vlsReply = vlsLines(3);
    p.lineSources = upTo(3);
    p.ranges = standardRanges("(0-255)");
    p.gainLimits = gains(0, 255);
    p.missing = {"+FLO", "+VRID", "+VSP", "+VPR", "+VNH"};
    p.voiceRing = RingStyle::Text;
    p.callerId = CallerIdStyle::Spaced;
    p.callerIdTiming = CallerIdTiming::BeforeFirstRing;
    p.dtmfWhileTransmitting = false;
    return p;
}

// A serial modem of the Rockwell family that streams only 8-bit signed PCM
// at 7200 samples/s.
Profile rockwell()
{
    Profile p = oldSerial();
    p.name = "rockwell";
    p.summary = "serial Rockwell-type voice modem: only 8-bit signed PCM and ADPCM, all at 7200 samples/s";
    p.ati = {{0, "33600"}, {1, "OK"}, {2, "OK"}, {3, "RCV336DPFSP Rev 44BC"}, {4, "Rockwell Voice Modem"},
             {5, "OK"}, {6, "OK"}, {7, "OK"}, {8, "OK"}, {9, "OK"}, {10, "OK"}};
    p.identity = {{"+FMI", "Simulated Rockwell"}, {"+FMM", "Rockwell Voice Modem"}, {"+FMR", "44BC"}};
    p.vsmReply = {"0,\"SIGNED PCM\",8,0,(7200),(0),(0)", "1,\"2 Bit ADPCM\",2,0,(7200),(0),(0)",
                  "2,\"4 Bit ADPCM\",4,0,(7200),(0),(0)"};
    p.compressions = {{0, Encoding::Signed8, {7200}}};
    p.defaultCml = 0;
    p.defaultRate = 7200;
    return p;
}

bool parseYesNo(const std::string& value, bool& out)
{
    if (value == "yes" || value == "1" || value == "on" || value == "true")
        out = true;
    else if (value == "no" || value == "0" || value == "off" || value == "false")
        out = false;
    else
        return false;
    return true;
}

} // namespace

const Compression* Profile::compression(int cml) const
{
    for (const Compression& c : compressions)
        if (c.cml == cml)
            return &c;
    return nullptr;
}

void Profile::markCommand(std::set<std::string>& commands, const std::string& value, bool marked)
{
    std::string command = value;
    for (char& c : command)
        c = char(std::toupper(uint8_t(c)));
    if (marked)
        commands.insert(command);
    else
        commands.erase(command);
}

bool Profile::set(const std::string& key, const std::string& value, std::string& error)
{
    const std::map<std::string, bool*> flags{
        {"underrun-at-start", &underrunAtStart}, {"dle-h-after-vls", &dleHAfterLineSelect},
        {"echo", &echoByDefault},                 {"hangup-events", &reportsHangup},
        {"dtmf-while-tx", &dtmfWhileTransmitting}, {"stream-on-hook", &streamOnHook},
        {"cid-needs-vcid", &callerIdNeedsVcid},   {"rx-end-ok-only", &rxEndOkOnly},
        {"tx-ignores-stop", &txIgnoresStop}};
    error.clear();
    if (auto f = flags.find(key); f != flags.end()) {
        if (!parseYesNo(value, *f->second))
            error = "expected yes or no for " + key;
    } else if (key == "ring") {
        if (value == "dle" || value == "text")
            voiceRing = value == "dle" ? RingStyle::Dle : RingStyle::Text;
        else
            error = "ring is dle or text";
    } else if (key == "cid") {
        static const std::map<std::string, CallerIdStyle> styles{{"dle", CallerIdStyle::DlePacket},
                                                                 {"spaced", CallerIdStyle::Spaced},
                                                                 {"compact", CallerIdStyle::Compact},
                                                                 {"none", CallerIdStyle::None}};
        if (auto s = styles.find(value); s != styles.end())
            callerId = s->second;
        else
            error = "cid is dle, spaced, compact or none";
    } else if (key == "cid-timing") {
        if (value == "before" || value == "between")
            callerIdTiming = value == "before" ? CallerIdTiming::BeforeFirstRing : CallerIdTiming::AfterFirstRing;
        else
            error = "cid-timing is before or between";
    } else if (key == "refuse" || key == "accept") {
        // A command this modem answers with ERROR from now on, or no longer.
        markCommand(missing, value, key == "refuse");
    } else if (key == "slow" || key == "quick") {
        // A command a busy modem takes its time over, so that events can come while it is waited for.
        markCommand(slow, value, key == "slow");
    } else if (key == "stop") {
        if (value == "plain" || value == "escaped")
            stop = value == "plain" ? StopStyle::Plain : StopStyle::Escaped;
        else
            error = "stop is plain or escaped";
    } else {
        error = "unknown setting " + key;
    }
    return error.empty();
}

const std::vector<Profile>& builtinProfiles()
{
    static const std::vector<Profile> profiles{generic(), conexant(), usr(), oldSerial(), rockwell()};
    return profiles;
}

const Profile* findProfile(const std::string& name)
{
    for (const Profile& p : builtinProfiles())
        if (p.name == name)
            return &p;
    return nullptr;
}

} // namespace sim
