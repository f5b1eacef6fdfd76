// A window that logs N readings into its journal in FOLDER, waits for its
// own commit timer to put them on disk, says "committed N" and runs on until
// it is killed. The journal test kills it with SIGKILL.
#include "tests/support/TestWindow.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: journal_window_child FOLDER N\n");
        return 2;
    }
    QApplication application(argc, argv);
    auto window = meterdesk::testing::MakeTestWindow();
    window->OpenJournal(argv[1]);
    const std::size_t rows = std::strtoul(argv[2], nullptr, 10);
    for (std::size_t i = 0; i < rows; ++i) {
        window->state().FrameText = i % 2 == 0 ? "A11234B00AD" : "A200003102D";
        window->decoder().LcdDisplayHeron();
    }
    QElapsedTimer waited;
    waited.start();
    while (window->journal()->CommittedRows() < rows && waited.elapsed() < 20'000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    std::printf("committed %zu\n", window->journal()->CommittedRows());
    std::fflush(stdout);
    return QApplication::exec();
}
