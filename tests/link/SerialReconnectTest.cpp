// Scope: waiting for a serial port that vanished while connected: which
// device counts as the same one (its path, its /dev/serial/by-id name under
// a new ttyUSB number), reopening it with the same settings, and stopping.
#include "link/SerialReconnect.h"

#include "tests/support/FakeSerial.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace meterdesk::link {
namespace {

namespace fs = std::filesystem;

// A /dev of our own: device nodes are plain files, by-id names links.
struct ReconnectFixture : ::testing::Test {
    fs::path dev = fs::temp_directory_path() /
                   ("md_dev_" + std::to_string(::getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    testing::FakeSerialPlatform serial;
    TCommPortDriver driver{serial.Platform()};
    SerialReconnect reconnect{driver, std::make_unique<testing::FakePollTimer>(serial.timer),
                              dev.string()};
    int lost = 0;
    int back = 0;

    ReconnectFixture() {
        fs::remove_all(dev);
        fs::create_directories(dev / "serial" / "by-id");
        driver.OnPortVanished = [this](TCommPortDriver&) { reconnect.PortVanished(); };
        reconnect.OnLost = [this] { ++lost; };
        reconnect.OnBack = [this] { ++back; };
        driver.SetComPortSpeed(TComPortBaudRate::br19200);
    }
    ~ReconnectFixture() override { fs::remove_all(dev); }

    void Node(const std::string& name) { std::ofstream(dev / name) << ""; }
    void ById(const std::string& tty) {
        fs::create_symlink("../../" + tty, dev / "serial" / "by-id" / "usb-Meter_Cable-if00");
    }
    void Unplug(const std::string& tty) {
        fs::remove(dev / tty);
        fs::remove(dev / "serial" / "by-id" / "usb-Meter_Cable-if00");
    }
    void Connect(const std::string& tty) {
        serial.directory->paths["COM1"] = (dev / tty).string();
        driver.SetComPort(TComPortNumber::pnCOM1);
        ASSERT_TRUE(driver.OpenPort());
        reconnect.Watch();
    }
    // The adapter pulled: the next poll finds the port gone.
    void Vanish() {
        serial.line->gone = true;
        serial.timer->tick();
        serial.line->gone = false;
    }
};

TEST_F(ReconnectFixture, TheByIdNameFindsTheAdapterUnderItsNewNumber) {
    Node("ttyUSB0");
    ById("ttyUSB0");
    EXPECT_EQ(FindSerialById((dev / "ttyUSB0").string(), dev.string()),
              (dev / "serial" / "by-id" / "usb-Meter_Cable-if00").string());
    Connect("ttyUSB0");
    Vanish();
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_TRUE(reconnect.Waiting());
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(serial.timer->active);
    EXPECT_EQ(serial.timer->period, SerialReconnect::kRetryMs);

    Unplug("ttyUSB0");
    serial.timer->tick();
    // Another adapter at the old number is not this one.
    Node("ttyUSB0");
    serial.timer->tick();
    EXPECT_TRUE(reconnect.Waiting());
    Node("ttyUSB1");
    ById("ttyUSB1");
    serial.timer->tick();
    EXPECT_FALSE(reconnect.Waiting());
    EXPECT_EQ(back, 1);
    ASSERT_TRUE(driver.IsOpen());
    EXPECT_EQ(driver.DevicePath(), (dev / "ttyUSB1").string());
    EXPECT_EQ(serial.line->opened.back(), (dev / "ttyUSB1").string());
    // Opened with the settings it had, and polled again.
    EXPECT_EQ(serial.line->programmed.back().BaudRate, 19200);
    EXPECT_EQ(serial.line->programmed.front(), serial.line->programmed.back());
    EXPECT_EQ(serial.timer->period, driver.ComPortPollingDelay());
}

TEST_F(ReconnectFixture, APortWithoutByIdNameIsWaitedForAtItsPath) {
    Node("ttyS0");
    Connect("ttyS0");
    Vanish();
    fs::remove(dev / "ttyS0");
    serial.timer->tick();
    EXPECT_TRUE(reconnect.Waiting());
    // Back, but not yet usable: tried again at the next retry.
    Node("ttyS0");
    serial.line->nextOpen = {OpenFailure::PermissionDenied, "Permission denied"};
    serial.timer->tick();
    EXPECT_TRUE(reconnect.Waiting());
    serial.line->nextOpen = {};
    serial.timer->tick();
    EXPECT_TRUE(driver.IsOpen());
    EXPECT_EQ(back, 1);
    // It can vanish and come back again.
    Vanish();
    serial.timer->tick();
    EXPECT_EQ(lost, 2);
    EXPECT_EQ(back, 2);
}

TEST_F(ReconnectFixture, StoppingEndsTheWaitAndAnUnwatchedPortIsNotWaitedFor) {
    Node("ttyUSB0");
    Connect("ttyUSB0");
    Vanish();
    reconnect.Stop();
    EXPECT_FALSE(reconnect.Waiting());
    EXPECT_FALSE(serial.timer->active);
    ASSERT_TRUE(driver.OpenPort());
    Vanish(); // opened, but not watched
    EXPECT_FALSE(reconnect.Waiting());
    EXPECT_EQ(lost, 1);
}

} // namespace
} // namespace meterdesk::link
