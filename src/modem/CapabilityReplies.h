#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// Readers for a modem's answers to AT+VLS=? and the gain queries
// (AT+VGR=?, AT+VGT=?, AT+VGM=?, AT+VGS=?). Pure functions over the reply
// text; the probe writes what they find into the settings.

struct LineSourceReply
{
    static constexpr int MaxSource = 20;
    std::array<bool, MaxSource + 1> offered{}; // line sources 0..20
    QStringList unreadable;                    // texts that should be a source number and are not
};

// Each line that names a source gives it by the number before its first
// comma ("1,"T",00000000,..."), with or without a "+VLS:" prefix; a line
// that is a parenthesised list gives several ("(0-3)", "(0,1,4-7)").
LineSourceReply parseLineSources(const QString& reply);

// One line of a gain answer that holds a digit.
struct GainLine
{
    bool admitsZero = false; // 0 (automatic gain) is among the values
    bool hasRange = false;   // the line gives a low-high range
    int low = 0;
    int high = 0;
    bool rangeUsable() const { return hasRange && low < high; }
};

// The lines of a gain answer that hold a digit, in order. `prefix` is the
// reply's own prefix ("+VGR:"), removed where the modem writes it. A value
// that does not read as a number gives 1 for the low end and 255 for the
// high end. The range is the one after the first comma ("(0,128-255)"
// gives 128-255).
QList<GainLine> parseGainReply(const QString& reply, const QString& prefix);

// The lines of a modem answer, CR and LF both ending a line.
QStringList replyLines(const QString& reply);
