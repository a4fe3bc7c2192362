#pragma once

#include <cstdint>

// What the engine needs of the line-signal analyser that watches received
// audio for the end of a call. The analyser itself lives elsewhere; the
// engine only switches its detectors from the settings, resets it when a
// receive stream starts and hands it live 8 kHz 8-bit blocks.
class LineAnalyser
{
public:
    struct Switches
    {
        bool silence = false;
        bool periodic = true;
        bool cadence = true;
        int silenceDim = 50; // blocks of silence that end a call
    };

    virtual ~LineAnalyser() = default;
    virtual void applySwitches(const Switches& switches) = 0;
    virtual void resetDetector() = 0;
    // One block of unsigned 8-bit PCM at 8000 samples/s.
    virtual void processBlock(const uint8_t* block, int size) = 0;
};
