#pragma once

// The band where a voice has most of its power, 250 to 1000 Hz at 8 kHz:
// it keeps a fifth of white noise's power and none of the hum below it, so
// a faint voice stands out of line noise. Fed one sample at a time, it
// carries its state from one block to the next.
class VoiceBand
{
public:
    VoiceBand();
    VoiceBand(double lowHz, double highHz);
    void reset();
    // One sample, centred on 0; the filtered sample.
    double step(double x);

private:
    struct Biquad
    {
        double b0, b1, b2, a1, a2;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        double step(double x);
    };
    static Biquad butterworth(double hz, bool highPass);

    double m_lowHz;
    double m_highHz;
    Biquad m_highPass;
    Biquad m_lowPass;
};
