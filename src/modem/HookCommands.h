#pragma once

#include <QStringView>
#include <optional>

// What a command line does to the line once the modem has acknowledged it:
// true when it takes the line (off hook), false when it frees it, nothing
// when it leaves the hook alone. Reads compound lines ("ATE0H0",
// "AT+VLS=0;H0"); the last command that touches the hook decides.
std::optional<bool> lineTakenAfter(QStringView command);
