// Time from process start to the main window shown and painted once. Run it
// as a whole process (e.g. hyperfine) or read the figure it prints, which
// counts from the kernel's record of the process start.
#include "app/Controls.h"
#include "app/HeronF.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
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

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    meterdesk::app::InstallFontSubstitutes();
    meterdesk::app::TFCOMM window;
    window.ShowCentred();
    // The zero timer fires once the shown window's first events are handled.
    QTimer::singleShot(0, &window, [] {
        std::printf("start to window shown: %.0f ms\n",
                    (SecondsSinceBoot() - ProcessStartSeconds()) * 1000.0);
        QApplication::quit();
    });
    return QApplication::exec();
}
