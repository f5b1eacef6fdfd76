#pragma once

#include "record/MeasurementTable.h"
#include "record/SafeFile.h"
#include "record/SegmentedRead.h"
#include "record/TextTableFile.h"

#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::record {

// Keeps the table's views (the grid) from hearing of each row while a long
// walk runs; they read the table afresh when it ends, however it ends.
class SuspendedViews {
public:
    explicit SuspendedViews(MeasurementTable& table) : table_(table) { table_.SuspendViews(); }
    ~SuspendedViews() { table_.ResumeViews(); }
    SuspendedViews(const SuspendedViews&) = delete;
    SuspendedViews& operator=(const SuspendedViews&) = delete;

private:
    MeasurementTable& table_;
};

// What the user is told.
inline constexpr std::string_view kTextSaved = "Table has been saved successfully!";
inline constexpr std::string_view kTextNotSaved = "Table can not be saved in this format!";
inline constexpr std::string_view kLoadFailed = "Failed to Load File!";
inline constexpr std::string_view kLoadFailedCaption = "Error";
std::string PacketSavedMessage(std::string_view name);
std::string PictureSavedMessage(std::string_view name);
// A save that failed: names the file, gives the reason and says that the
// file was not saved (a file of that name is unchanged).
std::string NotSavedMessage(std::string_view name, std::string_view reason);

// A save's outcome: the format chosen by the name, and the reason when the
// file was not written.
struct SaveOutcome {
    bool packet = false;
    std::optional<std::string> error;
};

// Writes the rows the table holds now to `name`, as a data packet when the
// name ends in ".xml" in any letter case, else as tab-separated text. The
// file is replaced whole or not at all.
SaveOutcome SaveTable(FileSystem& files, const MeasurementTable& table, const std::string& name,
                      const WalkProgress& progress = {});

// Appends the rows of the file `name` to the table (emptied first when
// `emptyFirst`), in the format its name chooses. A row is added only once
// all of its line or element has been read, so a failed load leaves the
// rows before the failure and nothing half-filled. A failure says why in
// the outcome's error, running out of memory included (never thrown).
// From this computer's files, both formats are read in blocks: memory
// follows the longest line or element, not the file.
LoadOutcome LoadTable(const std::string& name, MeasurementTable& table, bool emptyFirst,
                      const WalkProgress& progress = {});
// The rows of this computer's file `name` into any receiver, in the format
// its name chooses; `plan`: how a large file is split for reading on
// several threads. Running out of memory is thrown, not caught.
LoadOutcome LoadRows(const std::string& name, RowReceiver& rows, const SegmentPlan& plan = {});

// The same, the whole file read through `files`.
LoadOutcome LoadTable(FileSystem& files, const std::string& name, MeasurementTable& table,
                      bool emptyFirst, const WalkProgress& progress = {});

} // namespace meterdesk::record
