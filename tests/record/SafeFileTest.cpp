// Scope: saving replaces a file whole or not at all, whichever step fails;
// what a save does with links, FIFOs, devices, folders it may not write,
// long names and a kill in the middle; saving and loading a table through
// the name's format.
#include "record/DataFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace meterdesk::record {
namespace {

// Files in memory; each step can be made to fail.
struct MemoryFiles final : FileSystem {
    enum class Fault { None, Create, Write, Finish, Rename };
    Fault fault = Fault::None;
    std::map<std::string, std::string> files;

    struct File final : WritableFile {
        MemoryFiles& owner;
        std::string path;
        File(MemoryFiles& o, std::string p) : owner(o), path(std::move(p)) {}
        std::optional<std::string> Write(std::string_view bytes) override {
            if (owner.fault == Fault::Write) {
                return "No space left on device";
            }
            owner.files[path].append(bytes);
            return std::nullopt;
        }
        std::optional<std::string> Finish() override {
            if (owner.fault == Fault::Finish) {
                return "Input/output error";
            }
            return std::nullopt;
        }
    };

    std::unique_ptr<WritableFile> CreateBeside(const std::string& target, std::string& path,
                                               std::string& error) override {
        if (fault == Fault::Create) {
            error = "Permission denied";
            return nullptr;
        }
        path = target + ".part";
        files[path];
        return std::make_unique<File>(*this, path);
    }
    std::optional<std::string> Rename(const std::string& from, const std::string& to) override {
        if (fault == Fault::Rename) {
            return "Device or resource busy";
        }
        files[to] = files[from];
        files.erase(from);
        return std::nullopt;
    }
    void Remove(const std::string& path) override { files.erase(path); }
    bool Exists(const std::string& path) override { return files.contains(path); }
    std::optional<std::string> ReadAll(const std::string& path, std::string& error) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            error = "No such file or directory";
            return std::nullopt;
        }
        return found->second;
    }
};

TEST(SafeSave, EveryFailingStepLeavesTheOldFileAsItWas) {
    for (const auto fault : {MemoryFiles::Fault::Create, MemoryFiles::Fault::Write,
                             MemoryFiles::Fault::Finish, MemoryFiles::Fault::Rename}) {
        MemoryFiles files;
        files.files["/d/data.xls"] = "old";
        files.fault = fault;
        const auto error = SaveFileSafely(files, "/d/data.xls",
                                          [](ByteSink& sink) { sink.Write("new contents"); });
        ASSERT_TRUE(error.has_value());
        EXPECT_FALSE(error->empty());
        EXPECT_EQ(files.files, (std::map<std::string, std::string>{{"/d/data.xls", "old"}}));
    }
}

TEST(SafeSave, AWriterThatThrowsLeavesNoFileBehind) {
    MemoryFiles files;
    const auto error = SaveFileSafely(files, "/d/new.xml", [](ByteSink& sink) {
        sink.Write("half");
        throw std::runtime_error("out of memory");
    });
    EXPECT_EQ(error, "out of memory");
    EXPECT_TRUE(files.files.empty());
}

TEST(SafeSave, OnDiskTheFileIsReplacedKeepingItsPermissionsAndNoTemporaryStays) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("md_safe_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "data.txt").string();
    std::ofstream(path) << "old";
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_FALSE(SaveFileSafely(LocalFiles(), path, [](ByteSink& sink) { sink.Write("new"); }));
    std::stringstream contents;
    contents << std::ifstream(path).rdbuf();
    EXPECT_EQ(contents.str(), "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    // A folder that does not exist: nothing is created, the reason is given.
    const auto error = SaveFileSafely(LocalFiles(), (folder / "none" / "x.txt").string(),
                                      [](ByteSink& sink) { sink.Write("x"); });
    EXPECT_EQ(error, "No such file or directory");
    fs::remove_all(folder);
}

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
    std::stringstream contents;
    contents << std::ifstream(path).rdbuf();
    return contents.str();
}

std::optional<std::string> Save(const fs::path& path, const std::string& text) {
    return SaveFileSafely(LocalFiles(), path.string(),
                          [&text](ByteSink& sink) { sink.Write(text); });
}

// A fresh folder per test, removed afterwards.
struct OnDisk : ::testing::Test {
    fs::path folder = fs::temp_directory_path() /
                      ("md_save_" + std::to_string(::getpid()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    OnDisk() {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~OnDisk() override {
        fs::permissions(folder, fs::perms::owner_all);
        fs::remove_all(folder);
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
};

TEST_F(OnDisk, ALinkIsFollowedAndTheFileItLeadsToReplaced) {
    fs::create_directories(folder / "real");
    std::ofstream(folder / "real" / "data.txt") << "old";
    fs::create_symlink("real/data.txt", folder / "hop");
    fs::create_symlink("hop", folder / "link.txt");
    fs::create_symlink("real/new.txt", folder / "dangling.txt");
    ASSERT_FALSE(Save(folder / "link.txt", "new"));
    ASSERT_FALSE(Save(folder / "dangling.txt", "made"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.txt"));
    EXPECT_EQ(Contents(folder / "real" / "data.txt"), "new");
    EXPECT_EQ(Contents(folder / "real" / "new.txt"), "made");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), fs::directory_iterator()), 2);
    fs::create_symlink("loop", folder / "loop");
    EXPECT_EQ(Save(folder / "loop", "x"), "Too many levels of symbolic links");
}

TEST_F(OnDisk, AFifoIsWrittenToNotReplaced) {
    const fs::path fifo = folder / "pipe.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&fifo] { return Contents(fifo); });
    const std::string text(300'000, 'x'); // more than the pipe holds
    ASSERT_FALSE(Save(fifo, text));
    EXPECT_EQ(reader.get(), text);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Entries(), 1U);
}

TEST_F(OnDisk, ADeviceNodeIsWrittenToNotReplaced) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a device node needs root";
    }
    // The null device's numbers, on a node of our own.
    const fs::path node = folder / "null.xls";
    ASSERT_EQ(::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    ASSERT_FALSE(Save(node, "rows"));
    EXPECT_TRUE(fs::is_character_file(node));
    EXPECT_EQ(Entries(), 1U);
}

TEST_F(OnDisk, PermissionsOwnerAndAName255BytesLongAreKept) {
    const fs::path file = folder / "owned.txt";
    std::ofstream(file) << "old";
    // Only root may give a file away; anyone else keeps their own.
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 65534 : ::geteuid();
    const gid_t group = root ? 65534 : ::getegid();
    ASSERT_EQ(::chown(file.c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_FALSE(Save(file, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, owner);
    EXPECT_EQ(info.st_gid, group);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
    const fs::path longest = folder / (std::string(251, 'n') + ".txt");
    ASSERT_FALSE(Save(longest, "long"));
    EXPECT_EQ(Contents(longest), "long");
    EXPECT_EQ(Entries(), 2U);
}

// Root passes any permission, so as root the child drops to "nobody": the
// folder is root's and closed to it, the file is nobody's and writable. Anyone
// else is refused by the folder's own mode.
TEST_F(OnDisk, AWritableFileInAFolderThatRefusesTheTemporaryIsWrittenInPlace) {
    const bool root = ::geteuid() == 0;
    const fs::path file = folder / "data.txt";
    std::ofstream(file) << "an old and longer content";
    if (root) {
        fs::permissions(folder,
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    } else {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    struct stat before {};
    ::stat(file.c_str(), &before);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        const bool failedWriter = SaveFileSafely(LocalFiles(), file.string(), [](ByteSink& sink) {
                                      sink.Write("half");
                                      throw std::runtime_error("out of memory");
                                  }).has_value();
        const auto error = Save(file, "new");
        const auto refused = Save(folder / "other.txt", "x");
        ::_exit(failedWriter && !error && refused == "Permission denied" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Contents(file), "new");
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Entries(), 1U);
}

TEST_F(OnDisk, ASaveKilledMidWriteLeavesNoTemporaryFile) {
    const fs::path file = folder / "big.xml";
    std::ofstream(file) << "old";
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct sigaction cleanUp {};
        cleanUp.sa_handler = [](int) {
            RemoveUnfinishedSaves();
            ::_exit(130);
        };
        ::sigaction(SIGINT, &cleanUp, nullptr);
        SaveFileSafely(LocalFiles(), file.string(), [&](ByteSink& sink) {
            const std::string chunk(1 << 20, 'r');
            sink.Write(chunk);
            sink.Write(chunk); // the first megabyte is on the disk now
            if (::write(started[1], "s", 1) != 1) {
                ::_exit(2);
            }
            for (;;) {
                sink.Write(chunk);
            }
        });
        ::_exit(1);
    }
    char byte = 0;
    ASSERT_EQ(::read(started[0], &byte, 1), 1);
    EXPECT_EQ(Entries(), 2U); // the file and the half-written temporary
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(started[0]);
    ::close(started[1]);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(Entries(), 1U);
    EXPECT_EQ(Contents(file), "old");
}

TEST_F(OnDisk, LeftoversAreRemovedOnlyWhenTheirWriterIsGone) {
    const auto leftover = [this](const char* name, bool old) {
        const fs::path path = folder / name;
        std::ofstream(path) << "part";
        if (old) {
            const timespec hourAgo[2] = {{std::time(nullptr) - 3600, 0},
                                         {std::time(nullptr) - 3600, 0}};
            ::utimensat(AT_FDCWD, path.c_str(), hourAgo, 0);
        }
        return path;
    };
    const fs::path gone = leftover(".mdsave-Ab12cd", true);
    const fs::path writing = leftover(".mdsave-Ef34gh", true);
    const fs::path fresh = leftover(".mdsave-Ij56kl", false);
    const fs::path foreign = leftover(".mdsave-notours", true);
    const int held = ::open(writing.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0); // a writer that is still at work
    ASSERT_FALSE(Save(folder / "data.txt", "new"));
    ::close(held);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_TRUE(fs::exists(writing));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(foreign));
}

TEST(DataFiles, TheNameChoosesTheFormatBothWays) {
    MemoryFiles files;
    MeasurementTable table;
    table.Append({1, "12:00:00", "DC", "1.0", "V", "AUTO"});
    EXPECT_FALSE(SaveTable(files, table, "/d/a.XML", {}).error);
    EXPECT_TRUE(SaveTable(files, table, "/d/a.XML", {}).packet);
    EXPECT_FALSE(SaveTable(files, table, "/d/a.txt", {}).packet);
    EXPECT_TRUE(files.files["/d/a.XML"].starts_with("<?xml"));
    EXPECT_TRUE(files.files["/d/a.txt"].starts_with("No.\t"));
    EXPECT_TRUE(LoadTable(files, "/d/a.XML", table, false).ok);
    EXPECT_TRUE(LoadTable(files, "/d/a.txt", table, false).ok);
    EXPECT_EQ(table.RowCount(), 3U);
    EXPECT_FALSE(LoadTable(files, "/d/missing.xls", table, false).ok);
    EXPECT_EQ(LoadTable(files, "/d/a.txt", table, true).rows, 1U);
    EXPECT_EQ(table.RowCount(), 1U);
}

} // namespace
} // namespace meterdesk::record
