#include "Scenario.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace sim {

namespace {

bool tokenize(const std::string& line, std::vector<std::string>& tokens, std::string& error)
{
    std::string token;
    bool inToken = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '#')
            break;
        if (c == ' ' || c == '\t' || c == '\r') {
            if (inToken)
                tokens.push_back(token);
            token.clear();
            inToken = false;
            continue;
        }
        inToken = true;
        if (c != '"') {
            token.push_back(c);
            continue;
        }
        for (++i;; ++i) {
            if (i >= line.size()) {
                error = "unterminated quote";
                return false;
            }
            if (line[i] == '"')
                break;
            if (line[i] != '\\' || i + 1 >= line.size()) {
                token.push_back(line[i]);
                continue;
            }
            const char e = line[++i];
            if (e == 'r')
                token.push_back('\r');
            else if (e == 'n')
                token.push_back('\n');
            else if (e == 't')
                token.push_back('\t');
            else if (e == 'x' && i + 2 < line.size()) {
                token.push_back(char(std::strtol(line.substr(i + 1, 2).c_str(), nullptr, 16)));
                i += 2;
            } else
                token.push_back(e);
        }
    }
    if (inToken)
        tokens.push_back(token);
    return true;
}

bool parseSeconds(const std::string& text, double& out)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    const std::string unit = end ? std::string(end) : std::string();
    if (end == text.c_str() || v < 0)
        return false;
    if (unit.empty() || unit == "s")
        out = v;
    else if (unit == "ms")
        out = v / 1000;
    else if (unit == "m" || unit == "min")
        out = v * 60;
    else
        return false;
    return true;
}

// "2s" or "until-onhook"
bool parseLength(const std::string& text, Step& step)
{
    if (text == "until-onhook") {
        step.untilOnHook = true;
        step.seconds = kForever;
        return true;
    }
    return parseSeconds(text, step.seconds);
}

std::string resolvePath(const std::string& path, const std::string& baseDir)
{
    if (path.empty() || path.front() == '/' || baseDir.empty())
        return path;
    return baseDir + "/" + path;
}

std::string upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(uint8_t(c)));
    return s;
}

class LineParser
{
public:
    LineParser(const std::vector<std::string>& t, const std::string& baseDir, Step& step)
        : m_t(t), m_baseDir(baseDir), m_step(step)
    {
    }
    std::string error;

    bool parse()
    {
        const std::string& word = m_t[0];
        using K = Step::Kind;
        if (word == "call")
            return simple(K::Call);
        if (word == "wait")
            return need(2) && seconds(1, K::Wait);
        if (word == "ring")
            return ring();
        if (word == "cid")
            return callerId();
        if (word == "await")
            return await();
        if (word == "silence")
            return need(2) && sound(1, [](double s) { return makeSilence(s); });
        if (word == "noise")
            return noise();
        if (word == "tone")
            return tone();
        if (word == "busy")
            return cadence({480, 620}, 0.5, 0.5, 'b');
        if (word == "reorder")
            return cadence({480, 620}, 0.25, 0.25, 'K');
        if (word == "dialtone")
            return cadence({350, 440}, 0, 0, 'd');
        if (word == "play")
            return play();
        if (word == "say")
            return say();
        if (word == "dtmf")
            return dtmf();
        if (word == "dle")
            return need(2) && text(K::Event, m_t[1]);
        if (word == "handset")
            return handset();
        if (word == "send")
            return need(2) && text(K::Send, m_t[1]);
        if (word == "set")
            return set();
        if (word == "profile")
            return need(2) && text(K::UseProfile, m_t[1]);
        if (word == "log")
            return text(K::Log, joined(1));
        if (word == "freeze")
            return need(2) && seconds(1, K::Freeze);
        if (word == "waiting")
            return simple(K::Waiting);
        if (word == "unplug")
            return simple(K::Unplug);
        if (word == "quit")
            return simple(K::Quit);
        return fail("unknown command '" + word + "'");
    }

private:
    bool fail(const std::string& what)
    {
        error = what;
        return false;
    }
    bool need(size_t n)
    {
        return m_t.size() >= n || fail("'" + m_t[0] + "' needs " + std::to_string(n - 1) + " argument(s)");
    }
    bool simple(Step::Kind kind)
    {
        m_step.kind = kind;
        return true;
    }
    bool text(Step::Kind kind, const std::string& value)
    {
        m_step.kind = kind;
        m_step.text = value;
        return true;
    }
    std::string joined(size_t from) const
    {
        std::string s;
        for (size_t i = from; i < m_t.size(); ++i)
            s += (s.empty() ? "" : " ") + m_t[i];
        return s;
    }
    bool seconds(size_t at, Step::Kind kind)
    {
        m_step.kind = kind;
        return parseSeconds(m_t[at], m_step.seconds) || fail("bad duration '" + m_t[at] + "'");
    }
    bool sound(size_t lengthAt, std::function<std::unique_ptr<Sound>(double)> make)
    {
        m_step.kind = Step::Kind::Sound;
        if (!parseLength(m_t[lengthAt], m_step))
            return fail("bad duration '" + m_t[lengthAt] + "'");
        const double s = m_step.seconds;
        m_step.sound = [make, s] { return make(s); };
        return true;
    }
    bool ring()
    {
        m_step.kind = Step::Kind::Ring;
        m_step.count = m_t.size() > 1 ? std::atoi(m_t[1].c_str()) : 1;
        m_step.seconds = 6;
        if (m_step.count < 1)
            return fail("ring needs a count of at least 1");
        for (size_t i = 2; i < m_t.size(); ++i) {
            if (m_t[i] == "double")
                m_step.doubleRing = true;
            else if (m_t[i] == "handset-after" && i + 1 < m_t.size()) {
                m_step.handsetAfter = std::atoi(m_t[++i].c_str());
                if (m_step.handsetAfter < 1)
                    return fail("handset-after needs a count of at least 1");
            }
            else if (m_t[i] == "every" && i + 1 < m_t.size()) {
                if (!parseSeconds(m_t[++i], m_step.seconds) || m_step.seconds < 0.5)
                    return fail("bad ring interval '" + m_t[i] + "'");
            } else
                return fail("unexpected '" + m_t[i] + "'");
        }
        return true;
    }
    bool callerId()
    {
        m_step.kind = Step::Kind::CallerId;
        for (size_t i = 1; i < m_t.size(); ++i) {
            const size_t eq = m_t[i].find('=');
            if (eq == std::string::npos || eq == 0)
                return fail("cid takes TAG=VALUE pairs, not '" + m_t[i] + "'");
            m_step.fields.emplace_back(upper(m_t[i].substr(0, eq)), m_t[i].substr(eq + 1));
        }
        return !m_step.fields.empty() || fail("cid needs at least one TAG=VALUE");
    }
    bool await()
    {
        static const std::vector<std::string> conditions{"offhook", "onhook", "rx",   "tx",
                                                         "idle",    "voice",  "host", "command"};
        m_step.kind = Step::Kind::Await;
        if (!need(2))
            return false;
        m_step.text = m_t[1];
        if (std::find(conditions.begin(), conditions.end(), m_step.text) == conditions.end())
            return fail("unknown condition '" + m_step.text + "'");
        size_t i = 2;
        if (m_step.text == "command") {
            if (!need(3))
                return false;
            m_step.value = upper(m_t[i++]);
        }
        if (i + 1 < m_t.size() && m_t[i] == "timeout")
            return parseSeconds(m_t[i + 1], m_step.seconds) || fail("bad timeout '" + m_t[i + 1] + "'");
        return i == m_t.size() || fail("unexpected '" + m_t[i] + "'");
    }
    bool noise()
    {
        if (!need(2))
            return false;
        const double level = m_t.size() > 2 ? std::atof(m_t[2].c_str()) : -40;
        return sound(1, [level](double s) { return makeNoise(s, level); });
    }
    bool tone()
    {
        if (!need(3))
            return false;
        std::vector<double> freqs;
        std::stringstream list(m_t[1]);
        for (std::string f; std::getline(list, f, '+');) {
            const double hz = std::atof(f.c_str());
            if (hz <= 0 || hz > 4000)
                return fail("bad frequency '" + f + "'");
            freqs.push_back(hz);
        }
        const double level = m_t.size() > 3 ? std::atof(m_t[3].c_str()) : -12;
        return sound(2, [freqs, level](double s) { return makeTones(freqs, s, level); });
    }
    bool cadence(std::vector<double> freqs, double on, double off, char event)
    {
        if (!need(2))
            return false;
        m_step.detectedEvent = event;
        return sound(1, [freqs, on, off](double s) { return makeTones(freqs, s, -12, on, off); });
    }
    bool recording(std::vector<int16_t> samples)
    {
        auto shared = std::make_shared<std::vector<int16_t>>(std::move(samples));
        m_step.kind = Step::Kind::Sound;
        m_step.seconds = double(shared->size()) / 8000;
        m_step.sound = [shared] { return makeRecording(*shared); };
        return true;
    }
    bool play()
    {
        std::vector<int16_t> samples;
        std::string why;
        if (!need(2))
            return false;
        if (!loadAudioFile(resolvePath(m_t[1], m_baseDir), samples, why))
            return fail(why);
        return recording(std::move(samples));
    }
    bool say()
    {
        std::vector<int16_t> samples;
        std::string why;
        if (!need(2))
            return false;
        if (!speakText(joined(1), samples, why))
            return fail(why);
        return recording(std::move(samples));
    }
    bool dtmf()
    {
        m_step.kind = Step::Kind::Dtmf;
        if (!need(2))
            return false;
        m_step.text = m_t[1];
        for (char c : m_step.text) {
            double low, high;
            if (!dtmfFrequencies(c, low, high))
                return fail(std::string("'") + c + "' is not a DTMF digit");
        }
        for (size_t i = 2; i < m_t.size(); i += 2) {
            if (m_t[i] == "until-onhook") {
                m_step.untilOnHook = true;
                --i;
                continue;
            }
            if (i + 1 >= m_t.size())
                return fail("dtmf takes 'on D', 'off D' and 'until-onhook'");
            double& target = m_t[i] == "on" ? m_step.on : m_step.off;
            if ((m_t[i] != "on" && m_t[i] != "off") || !parseSeconds(m_t[i + 1], target))
                return fail("dtmf takes 'on D', 'off D' and 'until-onhook'");
        }
        m_step.seconds = double(m_step.text.size()) * (m_step.on + m_step.off);
        const std::string digits = m_step.text;
        const double on = m_step.on, off = m_step.off;
        m_step.sound = [digits, on, off] { return makeDtmf(digits, on, off); };
        return true;
    }
    bool handset()
    {
        if (!need(2) || (m_t[1] != "up" && m_t[1] != "down"))
            return fail("handset up or handset down");
        return text(Step::Kind::Handset, m_t[1]);
    }
    bool set()
    {
        if (!need(3))
            return false;
        m_step.kind = Step::Kind::Set;
        m_step.text = m_t[1];
        m_step.value = m_t[2];
        return true;
    }

    const std::vector<std::string>& m_t;
    const std::string& m_baseDir;
    Step& m_step;
};

} // namespace

bool parseScenario(const std::string& text, const std::string& baseDir, std::vector<Step>& steps,
                   std::string& error)
{
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::vector<std::string> tokens;
        if (!tokenize(line, tokens, error)) {
            error = "line " + std::to_string(number) + ": " + error;
            return false;
        }
        if (tokens.empty())
            continue;
        Step step;
        step.sourceLine = number;
        LineParser parser(tokens, baseDir, step);
        if (!parser.parse()) {
            error = "line " + std::to_string(number) + ": " + parser.error;
            return false;
        }
        steps.push_back(std::move(step));
    }
    return true;
}

} // namespace sim
