// Time from process start to the main window shown, and to its first paint,
// with the CPU the process used by then. The times count from the kernel's
// record of the process start; bench/startup.sh runs it several times under
// a real X server.
#include "app/Controls.h"
#include "app/HeronF.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

// Seconds since boot at which this process started (/proc/self/stat field 22).
double ProcessStartSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        fields >> field;
    }
    return std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double SecondsSinceBoot() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) * 1e-3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double MsSinceStart() {
    return (SecondsSinceBoot() - ProcessStartSeconds()) * 1000.0;
}

// Notes the end of the window's first paint.
class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // After the paint, once the painted window has been handed on.
            QTimer::singleShot(0, this, [] {
                std::printf("start to first paint: %.0f ms (cpu %.0f ms)\n", MsSinceStart(),
                            CpuMs());
                QApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    meterdesk::app::InstallFontSubstitutes();
    meterdesk::app::TFCOMM window;
    FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.ShowCentred();
    // The zero timer fires once the shown window's first events are handled.
    QTimer::singleShot(0, &window, [] {
        std::printf("start to window shown: %.0f ms (cpu %.0f ms)\n", MsSinceStart(), CpuMs());
    });
    QTimer::singleShot(5000, &window, [] { QApplication::quit(); }); // no paint: give up
    return QApplication::exec();
}
