#pragma once

#include "record/MeasurementTable.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace meterdesk::record {

// Milliseconds since 1970-01-01 UTC.
using UtcClock = std::function<std::int64_t()>;
std::int64_t SystemUtcMs();

// Where journals live: $XDG_STATE_HOME/meterdesk, else ~/.local/state/meterdesk.
std::string JournalDirectory();

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalDateTimeText(std::int64_t utcMs);

// A row of a journal with its arrival time.
struct JournalRow {
    TableRow row;
    std::int64_t arrivedMs = 0;
};

// The running program's copy of its log on disk, so that a crash, a kill or
// a power loss does not take the readings with it. Rows wait in memory and
// are inserted and committed together in one transaction: by the caller's
// timer (Commit), and by Append itself once the oldest waiting row is a
// second old. Inserted in one batch, rows cost about half what they cost
// one by one between frames, whose other work leaves the database cold;
// many rows at once go into the open transaction in batches as they come. The file (an
// SQLite database in WAL mode) is made at the first row and locked while
// this object lives, which tells a live journal from one left behind.
// A journal that cannot be written says so once through `onFailure` and
// takes no further rows; the log itself goes on in memory.
class Journal {
public:
    Journal(std::string directory, std::string program, UtcClock clock = SystemUtcMs);
    ~Journal(); // commits what waits; the file stays for the next start
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // A logged row, arrived now (or at `arrivedMs`, for rows taken over).
    void Append(const TableRow& row);
    void Append(const TableRow& row, std::int64_t arrivedMs);
    void Commit();
    // The log was cleared: this journal goes, the next row starts another.
    void Restart() { Done(); }
    // The log was saved or the user confirmed the exit: marked done, removed.
    void Done();

    std::function<void(const std::string& reason)> onFailure;
    bool Failed() const { return failed_; }
    // Empty until the first row made the file.
    const std::string& Path() const { return path_; }
    std::size_t CommittedRows() const { return committed_; }
    // Rows not yet committed: held in memory, or inserted into the open
    // transaction.
    std::size_t WaitingRows() const { return held_.size() + inserted_; }

private:
    bool Create();
    void Fail(const std::string& what);
    void Close();
    bool Exec(const char* sql);
    // Inserts the held rows into the open transaction, beginning it first.
    bool InsertHeld();

    std::string directory_;
    std::string program_;
    UtcClock clock_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
    int lock_ = -1;
    std::string path_;
    std::size_t committed_ = 0;
    std::vector<JournalRow> held_;
    std::size_t inserted_ = 0;
    std::int64_t oldestWaiting_ = 0;
    bool failed_ = false;
};

// A journal whose program is gone, with what it holds.
struct LeftJournal {
    std::string path;
    std::int64_t startedMs = 0;
    std::size_t rows = 0;
    std::string program;
};

// The journals in `directory` that no live program holds and that were not
// marked done, newest first. Done and empty ones are removed on the way.
std::vector<LeftJournal> FindLeftJournals(const std::string& directory);

// Whether a running program holds the journal at `path`.
bool JournalInUse(const std::string& path);

// Every row of the journal at `path`, in order; nullopt with `error` filled
// when it cannot be read.
std::optional<std::vector<JournalRow>> ReadJournal(const std::string& path, std::string& error);

// Removes a journal and the files SQLite keeps beside it.
void RemoveJournal(const std::string& path);

// "A log of N readings from DATE TIME was not saved. Restore it?"
std::string RestoreQuestion(const LeftJournal& left);

// Restores a journal left behind: its rows are appended to `table` (each
// also handed to `restored`), taken over by `live` (when there is one) so
// that they stay kept, and the old journal is removed. The reason when it
// cannot be read; then nothing changed.
std::optional<std::string> RestoreJournal(const std::string& path, MeasurementTable& table,
                                          Journal* live,
                                          const std::function<void(const TableRow&)>& restored);

// The table's first `savedRows` rows were saved: the journal is done, and
// rows logged while the save ran start the next one.
void JournalSaved(Journal& journal, const MeasurementTable& table, std::size_t savedRows);

} // namespace meterdesk::record
