// Scope: saving replaces a file whole or not at all, whichever step fails;
// saving and loading a table through the name's format.
#include "record/DataFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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
