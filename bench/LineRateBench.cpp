// The window at the meter's full line rate: opens the given serial device as
// COM1, connects, and for the given time counts the frames decoded, the
// frames lost (when the stream numbers its readings one by one), the rows
// logged, the longest any event took to handle on the main thread, each
// event over 16 ms with when it came (the first 20), and the CPU the whole
// program used. The window keeps its journal, as the program does (in a
// folder of its own under the temporary folder, removed at the end), unless
// told "no-journal". Run through bench/line_rate.sh.
#include "app/Controls.h"
#include "app/HeronF.h"
#include "link/PortNames.h"
#include "link/platform/QtSerialLink.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <vector>

namespace {

// CPU time of the calling thread.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// An event over 16 ms, in wall or in CPU time: when it came tells what the
// window was doing (the first rows, a page turn, a wider label).
struct SlowEvent {
    double atSeconds;
    std::size_t rows;
    double wallMs;
    double cpuMs;
    std::string what;
};

// Times every event the main thread handles; nested events count within
// the outermost one.
class TimingApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        // The event may delete its receiver (a deferred delete).
        const char* const className = receiver->metaObject()->className();
        const QPointer<QObject> alive(receiver);
        const int type = static_cast<int>(event->type());
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        const bool handled = QApplication::notify(receiver, event);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        // On a busy machine an event can take long only because the thread
        // waited for a core: its CPU time tells the two apart.
        const double cpuMs = ThreadCpuMs() - cpuStart;
        if (measuring && cpuMs > longestCpuMs) {
            longestCpuMs = cpuMs;
        }
        if (measuring && cpuMs > 16.0) {
            ++slowCpuEvents;
        }
        if (measuring && ms > 16.0) {
            ++slowEvents;
        }
        const bool longest = measuring && ms > longestMs;
        const bool listed =
            measuring && (ms > 16.0 || cpuMs > 16.0) && slowList.size() < kSlowListed;
        if (longest || listed) {
            std::string what = std::string(className) + " " +
                               (alive ? alive->objectName().toStdString() : "(deleted)") +
                               " event " + std::to_string(type);
            if (listed) {
                const double at = std::chrono::duration<double>(start - measuredSince).count();
                slowList.push_back({at, rowCount(), ms, cpuMs, what});
            }
            if (longest) {
                longestMs = ms;
                longestWhat = std::move(what);
            }
        }
        --depth_;
        return handled;
    }
    static constexpr std::size_t kSlowListed = 20;
    bool measuring = false;
    std::chrono::steady_clock::time_point measuredSince;
    std::function<std::size_t()> rowCount;
    std::vector<SlowEvent> slowList;
    double longestMs = 0;
    double longestCpuMs = 0;
    int slowCpuEvents = 0;
    std::string longestWhat;
    int slowEvents = 0;

private:
    int depth_ = 0;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    using namespace meterdesk;
    TimingApplication application(argc, argv);
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: line_rate_bench DEVICE SECONDS [numbered|unnumbered] "
                             "[journal|no-journal]\n");
        return 2;
    }
    const std::string device = argv[1];
    const int seconds = std::atoi(argv[2]);
    const bool numbered = argc < 4 || std::string(argv[3]) != "unnumbered";
    const bool journal = argc < 5 || std::string(argv[4]) != "no-journal";

    auto ports =
        std::make_shared<link::ListedPortDirectory>([] { return std::vector<std::string>{}; });
    ports->Override("COM1", device);
    app::InstallFontSubstitutes();
    app::TFCOMM window(base::MakeSystemLocale(), base::kBuildProfile,
                       link::MakeQtSerialPlatform(ports));
    window.ShowCentred();
    // The window's first paint is its start's, not the line rate's: the
    // minute measured begins once it is on the screen.
    const auto shownBy = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) &&
           std::chrono::steady_clock::now() < shownBy) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QCoreApplication::processEvents();
    const std::filesystem::path journalFolder =
        std::filesystem::temp_directory_path() /
        ("line_rate_bench_journal_" + std::to_string(QCoreApplication::applicationPid()));
    if (journal) {
        window.OpenJournal(journalFolder.string());
    }

    // A numbered stream counts -4000 .. 3999 and around again.
    long long lost = 0;
    long long previous = 1'000'000;
    decode::DisplayDecoder& decoder = window.decoder();
    const auto logStep = decoder.handOffs.ReadingReady;
    decoder.handOffs.ReadingReady = [&, logStep] {
        logStep();
        const auto number = static_cast<long long>(window.state().ReadingNumber);
        if (numbered && previous != 1'000'000) {
            const long long expected = previous == 3999 ? -4000 : previous + 1;
            lost += (number - expected + 8000) % 8000;
        }
        previous = number;
    };

    window.limitess->trigger(); // a minute at line rate is more than 10,000 rows
    window.COMCon->click();
    if (!window.comm2().IsOpen()) {
        std::fprintf(stderr, "line_rate_bench: cannot open %s\n", device.c_str());
        return 1;
    }
    const std::uint64_t decodedBefore = decoder.DecodedFrames();
    const std::size_t rowsBefore = window.table().RowCount();
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    application.measuredSince = wallBefore;
    application.rowCount = [&window] { return window.table().RowCount(); };
    application.measuring = true;
    QTimer::singleShot(seconds * 1000, &application, [] { QApplication::quit(); });
    QApplication::exec();
    application.measuring = false; // the window's own teardown is not timed
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = CpuSeconds() - cpuBefore;
    const std::uint64_t decoded = decoder.DecodedFrames() - decodedBefore;
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("frames decoded: %llu in %.1f s (%.1f frames/s)\n",
                static_cast<unsigned long long>(decoded), wall,
                static_cast<double>(decoded) / wall);
    // 19200 baud, eleven bytes of ten bits a frame.
    constexpr double kLineFramesPerSecond = 19200.0 / 110.0;
    if (numbered) {
        std::printf("frames lost: %lld\n", lost);
    } else {
        std::printf("frames lost: not counted (unnumbered stream); %.1f %% of the line rate\n",
                    100.0 * static_cast<double>(decoded) / wall / kLineFramesPerSecond);
    }
    std::printf("rows logged: %zu\n", window.table().RowCount() - rowsBefore);
    std::printf("longest event on the main thread: %.2f ms (%s); events over 16 ms: %d\n",
                application.longestMs, application.longestWhat.c_str(), application.slowEvents);
    std::printf("longest event in main-thread cpu: %.2f ms; events over 16 ms of cpu: %d\n",
                application.longestCpuMs, application.slowCpuEvents);
    for (const SlowEvent& slow : application.slowList) {
        std::printf("  over 16 ms at %.2f s, after row %zu: %.2f ms, %.2f ms of cpu, %s\n",
                    slow.atSeconds, slow.rows, slow.wallMs, slow.cpuMs, slow.what.c_str());
    }
    std::printf("skipped frames: %llu\n", static_cast<unsigned long long>(decoder.SkippedFrames()));
    std::printf("cpu: %.2f %% of one core\n", 100.0 * cpu / wall);
    std::printf("journal: %s\n", window.journal() != nullptr ? "kept" : "none");
    const bool everyFrameLogged = window.table().RowCount() - rowsBefore == decoded;
    std::error_code ignored;
    std::filesystem::remove_all(journalFolder, ignored);
    return lost == 0 && everyFrameLogged ? 0 : 1;
}
