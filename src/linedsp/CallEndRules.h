#pragma once

#include "linedsp/VoiceBand.h"

#include <cstdint>

// How the call session turns what the detector reports, block by block,
// into the end of a call. Kept apart from the session so the line corpus
// bench judges recordings with the very rules a call runs on.

// A periodic signal is an exchange's or a PBX's steady tone: periodic
// blocks one after the other for seconds. Voiced speech and sung or played
// notes give a periodic block now and then, or a few in a row, never a run
// this long, however long the call.
struct PeriodicSignalRule
{
    // 18 blocks are 3.5 s: a tone ends the call within 5 s even when some
    // of its blocks are missed in line noise. Real speech gave runs of 2 at
    // most, music with notes held for seconds runs of 11.
    static constexpr int EventsToDisconnect = 18;
    // Blocks without the event that a run may have between two with it.
    static constexpr int MaxGapBlocks = 4;

    // One OnPeriodic of `block` (TQVMdsp::blocks()); true when the call
    // ends on it. The count and the last block counted are kept with the
    // call; a count of 0 starts a new run.
    static bool periodicBlock(int& count, int64_t& lastBlock, int64_t block);
};

// The 5-minute backstop: how long the line has been silent, fed with the
// received audio as it arrives, in chunks of any size. Silent is judged in
// the voice band against the line's own noise floor, so a faint voice on a
// quiet line is no silence, and line noise is however loud.
class SilenceBackstop
{
public:
    static constexpr int64_t EndsAfterMs = 5 * 60 * 1000;
    static constexpr int WindowSize = 1024; // 128 ms

    void reset();
    void audio(const uint8_t* data, int size);
    int64_t silentMs() const { return m_silentMs; }
    bool ends() const { return m_silentMs >= EndsAfterMs; }

private:
    void judgeWindow();

    int64_t m_silentMs = 0;
    // The quietest the line has been, creeping up slowly so that a line
    // that was dead at first and then hisses is judged by its hiss.
    double m_floor = -1;
    int m_filled = 0;
    double m_sum = 0;
    double m_squares = 0;
    double m_bandSquares = 0;
    VoiceBand m_band;
};
