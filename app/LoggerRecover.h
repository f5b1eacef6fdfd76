#pragma once

#include <optional>
#include <string>

namespace meterdesk::app {

// The journals in `directory` that no running program holds, newest first,
// one line each: path, start (local time), rows, separated by tabs.
std::string ListLeftJournals(const std::string& directory);

// Writes the rows of a journal left behind (`journal`, or the newest in
// `directory` when empty) to `output` in the format its name chooses, then
// removes the journal. The reason when nothing was written.
std::optional<std::string> RecoverJournal(const std::string& directory, const std::string& journal,
                                          const std::string& output);

} // namespace meterdesk::app
