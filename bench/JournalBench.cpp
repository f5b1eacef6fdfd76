// The journal's cost: its share of one core at the meter's full line rate
// (174 rows a second, in real time, committed twice a second as the window
// does), and ten million rows at the same pace of the clock but as fast as
// the disk takes them: time, and bytes per row on disk.
// Usage: journal_bench [FOLDER] [SECONDS] [ROWS]
#include "record/Journal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace meterdesk;

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

record::TableRow Row(long row) {
    char value[16];
    std::snprintf(value, sizeof value, "%05.2f", static_cast<double>(row % 8000 - 4000) / 100.0);
    const long second = row / 174 % 86400;
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02ld:%02ld:%02ld", second / 3600, second / 60 % 60,
                  second % 60);
    return {static_cast<std::int32_t>(row + 1), clock, "DC", value, "V", "AUTO"};
}

std::uintmax_t BytesOnDisk(const std::string& path) {
    std::uintmax_t bytes = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code missing;
        const auto size = std::filesystem::file_size(path + suffix, missing);
        bytes += missing ? 0 : size;
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder =
        (argc > 1 ? std::string(argv[1]) : std::filesystem::temp_directory_path().string()) +
        "/journal_bench_" + std::to_string(::getpid());
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const long rows = argc > 3 ? std::atol(argv[3]) : 10'000'000;
    constexpr int kLineRate = 174;

    {
        record::Journal journal(folder, "journal_bench");
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        auto nextCommit = start + std::chrono::milliseconds(500);
        for (long row = 0; row < static_cast<long>(seconds) * kLineRate; ++row) {
            std::this_thread::sleep_until(start +
                                          std::chrono::microseconds(row * 1'000'000 / kLineRate));
            journal.Append(Row(row));
            if (std::chrono::steady_clock::now() >= nextCommit) {
                journal.Commit();
                nextCommit += std::chrono::milliseconds(500);
            }
        }
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("line rate: %d rows/s for %.1f s: %.3f %% of one core (rows, sleeps, "
                    "commits)\n",
                    kLineRate, wall, 100.0 * (CpuSeconds() - cpuStart) / wall);
        journal.Done();
    }

    {
        std::int64_t now = 1'700'000'000'000;
        record::Journal journal(folder, "journal_bench", [&now] { return now; });
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        for (long row = 0; row < rows; ++row) {
            now = 1'700'000'000'000 + row * 1000 / kLineRate;
            journal.Append(Row(row)); // commits once the oldest row is a second old
            if ((row + 1) % 1'000'000 == 0) {
                const double wall =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::printf("%5.1f M rows: %.1f s (%.1f s CPU), %.1f bytes a row on disk\n",
                            static_cast<double>(row + 1) / 1e6, wall, CpuSeconds() - cpuStart,
                            static_cast<double>(BytesOnDisk(journal.Path())) /
                                static_cast<double>(row + 1));
                std::fflush(stdout);
            }
        }
        journal.Commit();
        std::printf("%ld rows, %ld commits: %.1f bytes a row on disk\n", rows, rows / kLineRate,
                    static_cast<double>(BytesOnDisk(journal.Path())) / static_cast<double>(rows));
        journal.Done();
    }
    std::filesystem::remove_all(folder);
    return 0;
}
