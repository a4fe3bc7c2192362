#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace sim {

constexpr double kForever = std::numeric_limits<double>::infinity();

// A piece of what the far end of the line sends: asked for samples at
// increasing times (seconds since the piece began), in 16-bit units.
class Sound
{
public:
    virtual ~Sound() = default;
    virtual double sample(double t) = 0;
    virtual double duration() const = 0;
};

std::unique_ptr<Sound> makeSilence(double seconds);
// Sum of sine tones (frequencies in Hz), each at levelDb below full scale,
// switched on for `on` and off for `off` seconds in turn (off 0: steady).
std::unique_ptr<Sound> makeTones(std::vector<double> frequencies, double seconds, double levelDb = -12,
                                 double on = 0, double off = 0);
std::unique_ptr<Sound> makeNoise(double seconds, double levelDb);
// Recorded samples at 8000 samples/s, as given.
std::unique_ptr<Sound> makeRecording(std::vector<int16_t> samples);

// The low and high frequency of a DTMF digit; false for other characters.
bool dtmfFrequencies(char digit, double& low, double& high);

// Reads any audio file sox understands as 8000 samples/s 16-bit mono.
bool loadAudioFile(const std::string& path, std::vector<int16_t>& samples, std::string& error);
// Renders text with espeak-ng, then as loadAudioFile.
bool speakText(const std::string& text, std::vector<int16_t>& samples, std::string& error);

// Everything the far end sends right now: the sum of the sounds playing.
class Line
{
public:
    // Starts a sound at sim time `start`; returns an id for stop().
    int play(double start, std::unique_ptr<Sound> sound);
    // Ends a sound early (a steady tone "until on hook").
    void stop(int id, double at);
    int16_t sample(double t);
    // Forgets sounds that ended before t.
    void prune(double t);

private:
    struct Playing
    {
        int id;
        double start;
        double end;
        std::unique_ptr<Sound> sound;
    };
    std::vector<Playing> m_playing;
    int m_nextId = 1;
};

} // namespace sim

namespace sim {

// DTMF digits, each a dual tone for `on` seconds followed by `off` seconds
// of silence.
std::unique_ptr<Sound> makeDtmf(const std::string& digits, double on, double off, double levelDb = -10);

} // namespace sim
