// Runs the widget tests inside one QApplication on the offscreen platform.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Journals of the windows and loggers under test go here, never home.
    char state[] = "/tmp/meterdesk_ui_state_XXXXXX";
    if (::mkdtemp(state) != nullptr) {
        ::setenv("XDG_STATE_HOME", state, 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
    return result;
}
