#include "LineAudio.h"

#include "ProcessRunner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace sim {

namespace {

double amplitude(double levelDb)
{
    return 32767.0 * std::pow(10.0, levelDb / 20.0);
}

class Silence : public Sound
{
public:
    explicit Silence(double seconds) : m_seconds(seconds) {}
    double sample(double) override { return 0; }
    double duration() const override { return m_seconds; }

private:
    double m_seconds;
};

class Tones : public Sound
{
public:
    Tones(std::vector<double> f, double seconds, double levelDb, double on, double off)
        : m_freqs(std::move(f)), m_seconds(seconds), m_amp(amplitude(levelDb)), m_on(on), m_off(off)
    {
    }
    double sample(double t) override
    {
        if (m_off > 0 && std::fmod(t, m_on + m_off) >= m_on)
            return 0;
        double v = 0;
        for (double f : m_freqs)
            v += m_amp * std::sin(2 * M_PI * f * t);
        return v;
    }
    double duration() const override { return m_seconds; }

private:
    std::vector<double> m_freqs;
    double m_seconds;
    double m_amp;
    double m_on;
    double m_off;
};

class Noise : public Sound
{
public:
    Noise(double seconds, double levelDb) : m_seconds(seconds), m_amp(amplitude(levelDb)) {}
    double sample(double) override
    {
        // xorshift: the same noise on every run, so streams can be compared
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_amp * (double(m_state) / double(UINT32_MAX) * 2 - 1);
    }
    double duration() const override { return m_seconds; }

private:
    double m_seconds;
    double m_amp;
    uint32_t m_state = 2463534242u;
};

class Recording : public Sound
{
public:
    explicit Recording(std::vector<int16_t> s) : m_samples(std::move(s)) {}
    double sample(double t) override
    {
        const auto i = size_t(t * 8000);
        return i < m_samples.size() ? m_samples[i] : 0;
    }
    double duration() const override { return double(m_samples.size()) / 8000; }

private:
    std::vector<int16_t> m_samples;
};

bool decodeWithSox(const std::string& path, std::vector<int16_t>& samples, std::string& error)
{
    std::string out;
    std::string err;
    if (!runCapture({"sox", path, "-t", "raw", "-r", "8000", "-e", "signed", "-b", "16", "-c", "1",
                     "-L", "-"},
                    out, err)) {
        error = "sox cannot read " + path + (err.empty() ? std::string() : ": " + err);
        return false;
    }
    samples.resize(out.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(uint8_t(out[2 * i]) | (uint8_t(out[2 * i + 1]) << 8));
    return true;
}

} // namespace

std::unique_ptr<Sound> makeSilence(double seconds)
{
    return std::make_unique<Silence>(seconds);
}

std::unique_ptr<Sound> makeTones(std::vector<double> frequencies, double seconds, double levelDb, double on,
                                 double off)
{
    return std::make_unique<Tones>(std::move(frequencies), seconds, levelDb, on, off);
}

std::unique_ptr<Sound> makeNoise(double seconds, double levelDb)
{
    return std::make_unique<Noise>(seconds, levelDb);
}

std::unique_ptr<Sound> makeRecording(std::vector<int16_t> samples)
{
    return std::make_unique<Recording>(std::move(samples));
}

bool dtmfFrequencies(char digit, double& low, double& high)
{
    static const char keys[] = "123A456B789C*0#D";
    static const double lows[] = {697, 770, 852, 941};
    static const double highs[] = {1209, 1336, 1477, 1633};
    for (int i = 0; i < 16; ++i)
        if (keys[i] == digit) {
            low = lows[i / 4];
            high = highs[i % 4];
            return true;
        }
    return false;
}

bool loadAudioFile(const std::string& path, std::vector<int16_t>& samples, std::string& error)
{
    return decodeWithSox(path, samples, error);
}

bool speakText(const std::string& text, std::vector<int16_t>& samples, std::string& error)
{
    char name[] = "/tmp/velmora-sim-speech-XXXXXX.wav";
    const int fd = ::mkstemps(name, 4);
    if (fd < 0) {
        error = "cannot create a temporary file for speech";
        return false;
    }
    ::close(fd);
    std::string out;
    std::string err;
    const bool spoken = runCapture({"espeak-ng", "-w", name, "--", text}, out, err);
    const bool ok = spoken && decodeWithSox(name, samples, error);
    if (!spoken)
        error = "espeak-ng cannot render the text" + (err.empty() ? std::string() : ": " + err);
    std::remove(name);
    return ok;
}

int Line::play(double start, std::unique_ptr<Sound> sound)
{
    const double end = start + sound->duration();
    m_playing.push_back({m_nextId, start, end, std::move(sound)});
    return m_nextId++;
}

void Line::stop(int id, double at)
{
    for (Playing& p : m_playing)
        if (p.id == id)
            p.end = std::min(p.end, at);
}

int16_t Line::sample(double t)
{
    double v = 0;
    for (Playing& p : m_playing)
        if (t >= p.start && t < p.end)
            v += p.sound->sample(t - p.start);
    return int16_t(std::clamp(v, -32768.0, 32767.0));
}

void Line::prune(double t)
{
    std::erase_if(m_playing, [t](const Playing& p) { return p.end < t - 1.0; });
}

} // namespace sim

namespace sim {

namespace {

class Dtmf : public Sound
{
public:
    Dtmf(std::string digits, double on, double off, double levelDb)
        : m_digits(std::move(digits)), m_on(on), m_off(off), m_amp(amplitude(levelDb))
    {
    }
    double sample(double t) override
    {
        const auto index = size_t(t / (m_on + m_off));
        double low, high;
        if (index >= m_digits.size() || t - double(index) * (m_on + m_off) >= m_on
            || !dtmfFrequencies(m_digits[index], low, high))
            return 0;
        return m_amp * (std::sin(2 * M_PI * low * t) + std::sin(2 * M_PI * high * t));
    }
    double duration() const override { return double(m_digits.size()) * (m_on + m_off); }

private:
    std::string m_digits;
    double m_on;
    double m_off;
    double m_amp;
};

} // namespace

std::unique_ptr<Sound> makeDtmf(const std::string& digits, double on, double off, double levelDb)
{
    return std::make_unique<Dtmf>(digits, on, off, levelDb);
}

} // namespace sim
