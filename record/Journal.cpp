#include "record/Journal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <initializer_list>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace meterdesk::record {

namespace {

constexpr std::string_view kSuffix = ".journal";
constexpr std::int64_t kCommitAfterMs = 1000;
// Rows held in memory before they go into the open transaction: a second of
// the line is 174; a file read in at full speed would hold half a million.
constexpr std::size_t kHeldRows = 1024;

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    // One sync a commit, once a second: a power loss keeps every commit.
    "PRAGMA synchronous=FULL;"
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
    "CREATE TABLE rows(no INTEGER, time TEXT, func TEXT, value TEXT, unit TEXT, range TEXT,"
    " arrived_ms INTEGER);";

std::string Reason(int error) {
    return std::generic_category().message(error);
}

std::string LockPath(const std::string& path) {
    return path + ".lock";
}

bool MakeFolders(const std::string& path, std::string& error) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') {
            continue;
        }
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = part + ": " + Reason(errno);
            return false;
        }
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = path + ": not a folder";
        return false;
    }
    return true;
}

// A moment as text in UTC or in local time.
std::string TimeText(std::int64_t utcMs, bool local, const char* format) {
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm fields{};
    if (local) {
        localtime_r(&seconds, &fields);
    } else {
        gmtime_r(&seconds, &fields);
    }
    char text[32];
    std::strftime(text, sizeof text, format, &fields);
    return text;
}

std::string UtcStamp(std::int64_t utcMs) {
    return TimeText(utcMs, false, "%Y%m%dT%H%M%S");
}

// An open database that closes itself.
class Database {
public:
    explicit Database(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            error_ = db_ != nullptr ? sqlite3_errmsg(db_) : "cannot open";
        }
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    sqlite3* Handle() { return db_; }

    // The first column of the first row of `sql`, as text.
    std::optional<std::string> Value(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        std::optional<std::string> value;
        const int prepared = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
        const int stepped = prepared == SQLITE_OK ? sqlite3_step(statement) : prepared;
        if (stepped == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL) {
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        } else if (stepped != SQLITE_ROW && stepped != SQLITE_DONE && error_.empty()) {
            error_ = sqlite3_errmsg(db_);
        }
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
    std::string error_;
};

std::string Text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text != nullptr ? reinterpret_cast<const char*>(text) : std::string();
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

} // namespace

std::int64_t SystemUtcMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string JournalDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/meterdesk";
    }
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] != '\0') {
        home = variable;
    } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr) {
        home = user->pw_dir;
    }
    return home + "/.local/state/meterdesk";
}

std::string LocalDateTimeText(std::int64_t utcMs) {
    return TimeText(utcMs, true, "%Y-%m-%d %H:%M:%S");
}

Journal::Journal(std::string directory, std::string program, UtcClock clock)
    : directory_(std::move(directory)), program_(std::move(program)), clock_(std::move(clock)) {}

Journal::~Journal() {
    Commit();
    Close();
    if (lock_ >= 0) {
        ::close(lock_);
    }
}

bool Journal::Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Journal::Create() {
    std::string error;
    if (!MakeFolders(directory_, error)) {
        failed_ = true;
        if (onFailure) {
            onFailure("the journal cannot be made in " + error);
        }
        return false;
    }
    const std::int64_t started = clock_();
    const std::string stem =
        directory_ + "/log-" + UtcStamp(started) + "-" + std::to_string(::getpid()) + "-";
    // The lock comes first, so that no one takes the new file for one left behind.
    for (int attempt = 0; attempt < 1000 && lock_ < 0; ++attempt) {
        path_ = stem + std::to_string(attempt) + std::string(kSuffix);
        lock_ = ::open(LockPath(path_).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (lock_ < 0 && errno != EEXIST) {
            break;
        }
    }
    if (lock_ < 0 || ::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        Fail("the journal's lock " + LockPath(path_) + " cannot be made: " + Reason(errno));
        return false;
    }
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK ||
        !Exec(kSchema)) {
        Fail("the journal " + path_ + " cannot be made");
        return false;
    }
    sqlite3_stmt* meta = nullptr;
    sqlite3_prepare_v2(db_,
                       "INSERT INTO meta VALUES('program',?1),('pid',?2),('started',?3),"
                       "('done',0)",
                       -1, &meta, nullptr);
    BindText(meta, 1, program_);
    sqlite3_bind_int64(meta, 2, ::getpid());
    sqlite3_bind_int64(meta, 3, started);
    const bool written = sqlite3_step(meta) == SQLITE_DONE;
    sqlite3_finalize(meta);
    if (!written || sqlite3_prepare_v2(db_, "INSERT INTO rows VALUES(?1,?2,?3,?4,?5,?6,?7)", -1,
                                       &insert_, nullptr) != SQLITE_OK) {
        Fail("the journal " + path_ + " cannot be written");
        return false;
    }
    return true;
}

void Journal::Fail(const std::string& what) {
    std::string reason = what;
    if (db_ != nullptr && sqlite3_errcode(db_) != SQLITE_OK) {
        reason += std::string(": ") + sqlite3_errmsg(db_);
    }
    Close();
    held_.clear();
    inserted_ = 0;
    failed_ = true;
    if (onFailure) {
        onFailure(reason);
    }
}

void Journal::Close() {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
}

void Journal::Append(const TableRow& row) {
    Append(row, clock_());
}

void Journal::Append(const TableRow& row, std::int64_t arrivedMs) {
    if (failed_ || (db_ == nullptr && !Create())) {
        return;
    }
    if (WaitingRows() == 0) {
        oldestWaiting_ = clock_();
    }
    held_.push_back({row, arrivedMs});
    if (clock_() - oldestWaiting_ >= kCommitAfterMs) {
        Commit();
    } else if (held_.size() >= kHeldRows) {
        InsertHeld(); // rows pouring in from a file wait in the transaction instead
    }
}

bool Journal::InsertHeld() {
    if (inserted_ == 0 && !held_.empty() && !Exec("BEGIN")) { // no transaction open yet
        Fail("the journal " + path_ + " cannot be written");
        return false;
    }
    for (const JournalRow& held : held_) {
        const TableRow& row = held.row;
        if (row.HasNo) {
            sqlite3_bind_int(insert_, 1, row.No);
        } else {
            sqlite3_bind_null(insert_, 1);
        }
        BindText(insert_, 2, row.Time);
        BindText(insert_, 3, row.Func);
        BindText(insert_, 4, row.Value);
        BindText(insert_, 5, row.Unit);
        BindText(insert_, 6, row.Range);
        sqlite3_bind_int64(insert_, 7, held.arrivedMs);
        const int stepped = sqlite3_step(insert_);
        sqlite3_reset(insert_);
        if (stepped != SQLITE_DONE) {
            Fail("the journal " + path_ + " cannot be written");
            return false;
        }
        ++inserted_;
    }
    held_.clear();
    return true;
}

void Journal::Commit() {
    if (db_ == nullptr || WaitingRows() == 0 || !InsertHeld()) {
        return;
    }
    if (!Exec("COMMIT")) {
        Fail("the journal " + path_ + " cannot be written");
        return;
    }
    committed_ += inserted_;
    inserted_ = 0;
}

void Journal::Done() {
    if (db_ != nullptr) {
        Commit();
        // Marked first: should the removal not happen, no one offers it back.
        if (db_ != nullptr) {
            Exec("UPDATE meta SET value=1 WHERE key='done'");
        }
    }
    Close();
    if (!path_.empty()) {
        RemoveJournal(path_);
    }
    if (lock_ >= 0) {
        ::close(lock_);
        lock_ = -1;
    }
    path_.clear();
    committed_ = 0;
    held_.clear();
    inserted_ = 0;
}

std::vector<LeftJournal> FindLeftJournals(const std::string& directory) {
    std::vector<LeftJournal> found;
    DIR* folder = ::opendir(directory.c_str());
    if (folder == nullptr) {
        return found;
    }
    std::vector<std::string> paths;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.size() > kSuffix.size() && name.ends_with(kSuffix)) {
            paths.push_back(directory + "/" + name);
        }
    }
    ::closedir(folder);
    for (const std::string& path : paths) {
        const int lock = ::open(LockPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock < 0) {
            continue;
        }
        if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
            ::close(lock); // its program is alive
            continue;
        }
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            ::unlink(LockPath(path).c_str()); // removed meanwhile
            ::close(lock);
            continue;
        }
        LeftJournal left{path, 0, 0, {}};
        // Empty: its program ended before the journal was set up.
        bool remove = info.st_size == 0;
        if (!remove) {
            Database db(path);
            const auto done = db.Value("SELECT value FROM meta WHERE key='done'");
            const auto started = db.Value("SELECT value FROM meta WHERE key='started'");
            const auto rows = db.Value("SELECT max(rowid) FROM rows");
            const auto program = db.Value("SELECT value FROM meta WHERE key='program'");
            if (!db.Ok() || !done || !started) {
                ::close(lock);
                continue; // not a journal of ours, or damaged: left alone
            }
            left.startedMs = std::strtoll(started->c_str(), nullptr, 10);
            left.rows = rows ? std::strtoull(rows->c_str(), nullptr, 10) : 0;
            left.program = program.value_or("");
            remove = *done != "0" || left.rows == 0;
        }
        if (remove) {
            RemoveJournal(path);
        } else {
            found.push_back(left);
        }
        ::close(lock);
    }
    std::sort(found.begin(), found.end(), [](const LeftJournal& a, const LeftJournal& b) {
        return a.startedMs != b.startedMs ? a.startedMs > b.startedMs : a.path > b.path;
    });
    return found;
}

bool JournalInUse(const std::string& path) {
    const int lock = ::open(LockPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (lock < 0) {
        return false;
    }
    const bool held = ::flock(lock, LOCK_SH | LOCK_NB) != 0;
    ::close(lock);
    return held;
}

std::optional<std::vector<JournalRow>> ReadJournal(const std::string& path, std::string& error) {
    Database db(path);
    sqlite3_stmt* select = nullptr;
    if (!db.Ok() ||
        sqlite3_prepare_v2(db.Handle(),
                           "SELECT no,time,func,value,unit,range,arrived_ms FROM rows ORDER BY "
                           "rowid",
                           -1, &select, nullptr) != SQLITE_OK) {
        error = db.Ok() ? sqlite3_errmsg(db.Handle()) : db.Error();
        return std::nullopt;
    }
    std::vector<JournalRow> rows;
    int stepped = SQLITE_ROW;
    while ((stepped = sqlite3_step(select)) == SQLITE_ROW) {
        JournalRow row;
        row.row.HasNo = sqlite3_column_type(select, 0) != SQLITE_NULL;
        row.row.No = sqlite3_column_int(select, 0);
        row.row.Time = Text(select, 1);
        row.row.Func = Text(select, 2);
        row.row.Value = Text(select, 3);
        row.row.Unit = Text(select, 4);
        row.row.Range = Text(select, 5);
        row.arrivedMs = sqlite3_column_int64(select, 6);
        rows.push_back(std::move(row));
    }
    if (stepped != SQLITE_DONE) {
        error = sqlite3_errmsg(db.Handle());
        sqlite3_finalize(select);
        return std::nullopt;
    }
    sqlite3_finalize(select);
    return rows;
}

void RemoveJournal(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", ".lock"}) {
        ::unlink((path + suffix).c_str());
    }
}

std::string RestoreQuestion(const LeftJournal& left) {
    return "A log of " + std::to_string(left.rows) + " readings from " +
           LocalDateTimeText(left.startedMs) + " was not saved. Restore it?";
}

std::optional<std::string> RestoreJournal(const std::string& path, MeasurementTable& table,
                                          Journal* live,
                                          const std::function<void(const TableRow&)>& restored) {
    std::string error;
    const auto rows = ReadJournal(path, error);
    if (!rows) {
        return "The log left in " + path + " cannot be read: " + error;
    }
    for (const JournalRow& row : *rows) {
        table.Append(row.row);
        if (live != nullptr) {
            live->Append(row.row, row.arrivedMs);
        }
        if (restored) {
            restored(row.row);
        }
    }
    if (live != nullptr) {
        live->Commit();
    }
    if (live == nullptr || !live->Failed()) {
        RemoveJournal(path);
    }
    return std::nullopt;
}

void JournalSaved(Journal& journal, const MeasurementTable& table, std::size_t savedRows) {
    journal.Done();
    for (std::size_t row = savedRows; row < table.RowCount(); ++row) {
        journal.Append(table.Row(row));
    }
}

} // namespace meterdesk::record
