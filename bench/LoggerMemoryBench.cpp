// Ten million readings through meterdesk-log --input FILE: the peak resident
// memory of the whole logger process per logged reading (goal: 24 bytes).
// The input is the virtual meter's wandering stream, written to a temporary
// file first; the logger's standard output is drained and its rows counted.
// Usage: logger_memory_bench [ROWS] [LOGGER]
#include "sim/VirtualMeter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    const long long rows = argc > 1 ? std::atoll(argv[1]) : 10'000'000;
    const std::string logger = argc > 2 ? argv[2] : MD_LOGGER_PATH;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("md_memory_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string input = (folder / "stream.bin").string();
    {
        std::ofstream out(input, std::ios::binary);
        meterdesk::sim::VirtualMeter meter(meterdesk::sim::Scenario::Wander);
        out << '\n'; // the first frame needs the line feed before it
        for (long long i = 0; i < rows; ++i) {
            const std::vector<std::uint8_t> bytes = meter.NextBytes();
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        }
    }
    int output[2];
    if (::pipe(output) != 0) {
        std::perror("pipe");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        ::close(output[0]);
        ::close(output[1]);
        ::execl(logger.c_str(), logger.c_str(), "--input", input.c_str(),
                static_cast<char*>(nullptr));
        std::perror("exec");
        std::_Exit(127);
    }
    ::close(output[1]);
    long long lines = 0;
    char buffer[1 << 16];
    for (ssize_t got = 0; (got = ::read(output[0], buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < got; ++i) {
            lines += buffer[i] == '\n';
        }
    }
    ::close(output[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double file = static_cast<double>(std::filesystem::file_size(input));
    std::filesystem::remove_all(folder);
    const long long logged = lines - 1; // the header
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || logged <= 0) {
        std::fprintf(stderr, "the logger failed (status %d, %lld rows)\n", status, logged);
        return 1;
    }
    const double peak = static_cast<double>(usage.ru_maxrss) * 1024.0;
    std::printf("input %.1f MB, %lld readings logged in %.1f s (%.0f ns each)\n", file / 1e6,
                logged, seconds, seconds * 1e9 / static_cast<double>(logged));
    std::printf("peak resident memory %.1f MB: %.1f bytes per logged reading (goal <= 24)\n",
                peak / 1e6, peak / static_cast<double>(logged));
    return 0;
}
