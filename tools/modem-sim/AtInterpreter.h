#pragma once

#include "ModemState.h"
#include "Profile.h"

#include <string>
#include <vector>

namespace sim {

enum class StreamRequest { None, Receive, Transmit };

// What one command line asks of the modem.
struct AtReply
{
    enum class Result { Ok, Error, Connect, Nothing } result = Result::Ok;
    std::vector<std::string> lines; // information text before the result
    StreamRequest stream = StreamRequest::None;
    bool dleHAfter = false;     // send DLE H after the result
    bool dialData = false;      // a data call was dialled: NO CARRIER follows
    bool slow = false;          // answered after SlowReplySeconds
    std::vector<std::string> notes; // for the log (tones sent, ...)
};

// Executes AT command lines against the modem's settings.
class AtInterpreter
{
public:
    AtInterpreter(const Profile& profile, ModemState& state) : m_profile(profile), m_state(state) {}
    // One line as typed, without its carriage return.
    AtReply execute(const std::string& line);

private:
    enum class Form { Action, Test, Set, Read };
    bool basic(char command, int value, bool hasValue, AtReply& reply);
    bool extended(const std::string& name, Form form, const std::string& args, AtReply& reply);
    bool voiceParameter(const std::string& name, Form form, const std::string& args, AtReply& reply);
    bool compression(Form form, const std::string& args, AtReply& reply);
    bool lineSelect(Form form, const std::string& args, AtReply& reply);
    bool stream(StreamRequest which, AtReply& reply);
    void testReply(const std::vector<std::string>& lines, AtReply& reply) const;

    const Profile& m_profile;
    ModemState& m_state;
};

} // namespace sim
