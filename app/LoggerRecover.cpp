#include "app/LoggerRecover.h"

#include "record/DataFiles.h"
#include "record/Journal.h"

#include <algorithm>

namespace meterdesk::app {

std::string ListLeftJournals(const std::string& directory) {
    std::string lines;
    for (const record::LeftJournal& left : record::FindLeftJournals(directory)) {
        lines += left.path + "\t" + record::LocalDateTimeText(left.startedMs) + "\t" +
                 std::to_string(left.rows) + "\n";
    }
    return lines;
}

std::optional<std::string> RecoverJournal(const std::string& directory, const std::string& journal,
                                          const std::string& output) {
    const auto left = record::FindLeftJournals(directory);
    std::string path = journal;
    if (path.empty()) {
        if (left.empty()) {
            return "no journal was left behind in " + directory;
        }
        path = left.front().path;
    } else if (record::JournalInUse(path)) {
        return path + " belongs to a program that is still running";
    }
    std::string error;
    const auto rows = record::ReadJournal(path, error);
    if (!rows) {
        return "cannot read the journal " + path + ": " + error;
    }
    record::MeasurementTable table;
    for (const record::JournalRow& row : *rows) {
        table.Append(row.row);
    }
    const record::SaveOutcome saved = record::SaveTable(record::LocalFiles(), table, output);
    if (saved.error) {
        return record::NotSavedMessage(output, *saved.error);
    }
    record::RemoveJournal(path);
    return std::nullopt;
}

} // namespace meterdesk::app
