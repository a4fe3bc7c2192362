#pragma once

#include <QString>

// Text from outside (caller ID, a modem's replies, table values) as it may
// be shown on a terminal, written to a log or to a settings file: every
// control character, and every character that reorders text, as a visible
// \xHH or \uHHHH. Anything else is kept.
QString visibleText(const QString& text);
// The same, keeping TAB and line feeds (for whole lines and columns).
QString visibleLines(const QString& text);
