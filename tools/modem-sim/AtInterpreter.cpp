#include "AtInterpreter.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace sim {

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(uint8_t(c)));
    return s;
}

bool isNumberList(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isdigit(uint8_t(c)) || c == ',' || c == ' ';
    });
}

bool parseInt(const std::string& s, int& out)
{
    if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(uint8_t(c)); }))
        return false;
    out = std::stoi(s);
    return true;
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(part);
            part.clear();
        } else if (c != ' ') {
            part.push_back(c);
        }
    }
    parts.push_back(part);
    return parts;
}

// The voice commands that need +FCLASS=8; caller-ID settings work in any class.
const std::set<std::string>& voiceOnly()
{
    static const std::set<std::string> names{"+VSM", "+VLS", "+VGR", "+VGT", "+VGM", "+VGS", "+VIT",
                                             "+VRA", "+VRN", "+VSD", "+VDR", "+VDT", "+VBT", "+VPP",
                                             "+VPR", "+VSP", "+VTD", "+VTS", "+VNH", "+VRX", "+VTX"};
    return names;
}

const std::set<std::string>& parameters()
{
    static const std::set<std::string> names{"+VIT", "+VRA", "+VRN", "+VSD", "+VDR", "+VDT", "+VBT",
                                             "+VPP", "+VPR", "+VRID", "+VCID", "+VSP", "+VTD", "+VNH",
                                             "+FLO", "+IFC"};
    return names;
}

} // namespace

AtReply AtInterpreter::execute(const std::string& line)
{
    AtReply reply;
    std::string text = line;
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (text.size() < 2 || upper(text.substr(0, 2)) != "AT") {
        reply.result = AtReply::Result::Nothing; // modems ignore what is not a command
        return reply;
    }
    size_t pos = 2;
    bool ok = true;
    while (ok && pos < text.size()) {
        const char c = char(std::toupper(uint8_t(text[pos])));
        if (c == ' ' || c == ';') {
            ++pos;
        } else if (c == '+') {
            size_t end = pos + 1;
            while (end < text.size() && std::isalnum(uint8_t(text[end])))
                ++end;
            const std::string name = upper(text.substr(pos, end - pos));
            Form form = Form::Action;
            std::string args;
            if (text.compare(end, 2, "=?") == 0) {
                form = Form::Test;
                end += 2;
            } else if (end < text.size() && text[end] == '=') {
                form = Form::Set;
                const size_t stop = text.find(';', end);
                args = text.substr(end + 1, stop == std::string::npos ? std::string::npos : stop - end - 1);
                end = stop == std::string::npos ? text.size() : stop;
            } else if (end < text.size() && text[end] == '?') {
                form = Form::Read;
                ++end;
            }
            pos = end;
            ok = extended(name, form, args, reply);
        } else if (c == 'D') {
            std::string number = text.substr(pos + 1);
            m_state.lineSource = std::max(m_state.lineSource, 1);
            reply.notes.push_back("dial " + number);
            reply.dialData = m_state.fclass != 8;
            if (reply.dialData)
                reply.result = AtReply::Result::Nothing; // NO CARRIER comes later
            pos = text.size();
        } else if (c == '&' && pos + 1 < text.size() && std::toupper(uint8_t(text[pos + 1])) == 'F') {
            m_state.reset(m_profile); // factory settings: common in users' init strings
            pos += 2;
            while (pos < text.size() && std::isdigit(uint8_t(text[pos])))
                ++pos;
        } else if (std::isalpha(uint8_t(c))) {
            size_t end = pos + 1;
            while (end < text.size() && std::isdigit(uint8_t(text[end])))
                ++end;
            int value = 0;
            const bool hasValue = parseInt(text.substr(pos + 1, end - pos - 1), value);
            ok = basic(c, value, hasValue, reply);
            pos = end;
        } else {
            ok = false;
        }
    }
    if (!ok) {
        reply.result = AtReply::Result::Error;
        reply.lines.clear();
        reply.stream = StreamRequest::None;
    }
    return reply;
}

bool AtInterpreter::basic(char command, int value, bool hasValue, AtReply& reply)
{
    switch (command) {
    case 'E':
        if (value > 1)
            return false;
        m_state.echo = value == 1;
        return true;
    case 'H':
        if (value > 1)
            return false;
        m_state.lineSource = value;
        return true;
    case 'Z':
        m_state.reset(m_profile);
        return true;
    case 'I': {
        auto text = m_profile.ati.find(hasValue ? value : 0);
        if (text == m_profile.ati.end())
            return false;
        if (!text->second.empty())
            reply.lines.push_back(text->second);
        return true;
    }
    default:
        return false;
    }
}

void AtInterpreter::testReply(const std::vector<std::string>& lines, AtReply& reply) const
{
    reply.lines.insert(reply.lines.end(), lines.begin(), lines.end());
    if (m_profile.blankLineBeforeOk)
        reply.lines.push_back("");
}

bool AtInterpreter::extended(const std::string& name, Form form, const std::string& args, AtReply& reply)
{
    if (m_profile.missing.count(name))
        return false;
    if (m_profile.slow.count(name))
        reply.slow = true;
    if (voiceOnly().count(name) && m_state.fclass != 8)
        return false;
    if (auto id = m_profile.identity.find(name); id != m_profile.identity.end()) {
        if (form == Form::Action || form == Form::Read)
            reply.lines.push_back(m_profile.identityPrefix ? name + ": " + id->second : id->second);
        return form != Form::Set;
    }
    if (name == "+FCLASS") {
        int value;
        if (form == Form::Test)
            testReply({m_profile.fclassRange}, reply);
        else if (form == Form::Read)
            reply.lines.push_back(std::to_string(m_state.fclass));
        else if (form == Form::Set && parseInt(args, value) && m_profile.fclasses.count(value))
            m_state.fclass = value;
        else
            return false;
        return true;
    }
    if (name == "+VSM")
        return compression(form, args, reply);
    if (name == "+VLS")
        return lineSelect(form, args, reply);
    if (name == "+VRX")
        return form == Form::Action && stream(StreamRequest::Receive, reply);
    if (name == "+VTX")
        return form == Form::Action && stream(StreamRequest::Transmit, reply);
    if (name == "+VTS") {
        if (form != Form::Set || args.empty())
            return false;
        reply.notes.push_back("tones " + args);
        return true;
    }
    return voiceParameter(name, form, args, reply);
}

bool AtInterpreter::voiceParameter(const std::string& name, Form form, const std::string& args, AtReply& reply)
{
    auto range = m_profile.ranges.find(name);
    if (range == m_profile.ranges.end() || (!parameters().count(name) && !m_profile.gainLimits.count(name)))
        return false;
    if (form == Form::Test) {
        testReply({range->second}, reply);
        return true;
    }
    if (form == Form::Read) {
        auto v = m_state.values.find(name);
        reply.lines.push_back(v == m_state.values.end() ? "0" : v->second);
        return true;
    }
    if (form != Form::Set || !isNumberList(args))
        return false;
    if (auto limits = m_profile.gainLimits.find(name); limits != m_profile.gainLimits.end()) {
        int value;
        const bool automatic = range->second.find("(0") == 0 && args == "0";
        if (!parseInt(args, value) || (!automatic && (value < limits->second.first || value > limits->second.second)))
            return false;
    }
    m_state.values[name] = args;
    return true;
}

bool AtInterpreter::compression(Form form, const std::string& args, AtReply& reply)
{
    if (form == Form::Test) {
        testReply(m_profile.vsmReply, reply);
        return true;
    }
    if (form == Form::Read) {
        reply.lines.push_back(std::to_string(m_state.cml) + "," + std::to_string(m_state.rate) + ",0,0");
        return true;
    }
    if (form != Form::Set)
        return false;
    const std::vector<std::string> fields = split(args, args.find(';') != std::string::npos ? ';' : ',');
    int cml;
    if (!parseInt(fields[0], cml))
        return false;
    const Compression* c = m_profile.compression(cml);
    if (!c)
        return false;
    int rate = std::count(c->rates.begin(), c->rates.end(), m_profile.defaultRate) ? m_profile.defaultRate
                                                                                    : c->rates.front();
    if (fields.size() > 1 && !fields[1].empty()
        && (!parseInt(fields[1], rate) || !std::count(c->rates.begin(), c->rates.end(), rate)))
        return false;
    m_state.cml = cml;
    m_state.rate = rate;
    return true;
}

bool AtInterpreter::lineSelect(Form form, const std::string& args, AtReply& reply)
{
    int value;
    if (form == Form::Test)
        testReply(m_profile.vlsReply, reply);
    else if (form == Form::Read)
        reply.lines.push_back(std::to_string(m_state.lineSource));
    else if (form == Form::Set && parseInt(args, value) && m_profile.lineSources.count(value)) {
        m_state.lineSource = value;
        reply.dleHAfter = value != 0 && m_profile.dleHAfterLineSelect;
    } else
        return false;
    return true;
}

bool AtInterpreter::stream(StreamRequest which, AtReply& reply)
{
    if (!m_state.offHook() && !m_profile.streamOnHook)
        return false;
    reply.stream = which;
    reply.result = AtReply::Result::Connect;
    return true;
}

} // namespace sim
