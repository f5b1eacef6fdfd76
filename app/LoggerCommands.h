#pragma once

#include "app/LoggerOptions.h"

#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::app {

// One line on standard error, "meterdesk-log: " first, whatever line
// breaks the message has.
void SayOnStandardError(std::string message);

// Says the message and ends the program with status 1.
[[noreturn]] void FailWith(std::string message);

// Runs what needs neither a meter, a journal nor Qt: a usage error, help,
// version (saying `version`) and convert, and returns the program's
// status. nullopt: the command is another.
std::optional<int> RunCommandWithoutMeter(const LoggerOptions& options, std::string_view version);

} // namespace meterdesk::app
