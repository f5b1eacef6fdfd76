// Saving and loading a log of 1,000,000 rows in both file formats, through
// the same calls the window makes (safe save to a file on disk, load from
// it), each timed on its own. Targets: text 0.5 s, XML 1 s each way.
#include "record/DataFiles.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace meterdesk::record;

// A log as the meter fills it: 174 readings a second, a drifting value.
MeasurementTable MakeLog(std::size_t rows) {
    MeasurementTable table;
    char time[16];
    char value[16];
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t second = row / 174 % 86400;
        std::snprintf(time, sizeof time, "%02zu:%02zu:%02zu", second / 3600, second / 60 % 60,
                      second % 60);
        std::snprintf(value, sizeof value, "%.3f",
                      3.3 * std::sin(static_cast<double>(row) / 5000.0));
        table.Append({static_cast<std::int32_t>(row + 1), time, "DC", value,
                      row % 1000 < 500 ? "V" : "mV", "AUTO"});
    }
    return table;
}

template <typename Step> double Seconds(Step step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    constexpr std::size_t kRows = 1'000'000;
    const MeasurementTable log = MakeLog(kRows);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("md_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    bool met = true;
    for (const auto& [name, target] : {std::pair{"log.xls", 0.5}, std::pair{"log.xml", 1.0}}) {
        const std::string path = (folder / name).string();
        SaveOutcome saved;
        const double save = Seconds([&] { saved = SaveTable(LocalFiles(), log, path); });
        MeasurementTable loaded;
        LoadOutcome outcome;
        const double load = Seconds([&] { outcome = LoadTable(path, loaded, false); });
        const bool ok = !saved.error && outcome.ok && loaded.RowCount() == kRows;
        met = met && ok && save <= target && load <= target;
        std::printf("%s: %zu rows, %.1f MB: save %.3f s, load %.3f s (target %.1f s each)%s\n",
                    name, kRows, static_cast<double>(std::filesystem::file_size(path)) / 1e6, save,
                    load, target, ok ? "" : " FAILED");
    }
    std::filesystem::remove_all(folder);
    return met ? 0 : 1;
}
