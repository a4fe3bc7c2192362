#pragma once

#include "calls/Greeting.h"
#include "config/CurrentSettings.h"

#include <QString>
#include <vector>

// The greetings as the greeting dialogs show them: the four periods of the
// schedule and the greetings by caller, each with an upload form.
namespace greetingspage {

QString body(const GreetingPeriods& periods, const std::vector<CallerGreeting>& callers);

} // namespace greetingspage
