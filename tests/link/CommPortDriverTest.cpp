// Scope: the serial port component over a fake port: opening, the line it
// programs, the setters while closed and open, and the poll.
#include "link/CommPortDriver.h"

#include "link/PortNames.h"
#include "link/SerialMessages.h"
#include "tests/support/FakeSerial.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace meterdesk::link {
namespace {

using testing::FakeSerialPlatform;

struct DriverFixture : ::testing::Test {
    FakeSerialPlatform fake;
    TCommPortDriver driver{fake.Platform()};
    std::vector<std::size_t> chunks;

    DriverFixture() {
        driver.OnReceiveData = [this](TCommPortDriver& sender, const std::uint8_t*,
                                      std::int32_t size) {
            EXPECT_EQ(&sender, &driver);
            chunks.push_back(static_cast<std::size_t>(size));
        };
    }
};

TEST_F(DriverFixture, DefaultsAndTheDefaultLine) {
    EXPECT_EQ(driver.ComPort(), TComPortNumber::pnCOM2);
    EXPECT_EQ(driver.ComPortSpeed(), TComPortBaudRate::br9600);
    EXPECT_EQ(driver.ComPortInBufSize(), 2048);
    EXPECT_EQ(driver.ComPortPollingDelay(), 50);
    EXPECT_EQ(driver.OutputTimeout(), 4000);
    ASSERT_TRUE(driver.OpenPort());
    ASSERT_EQ(fake.line->programmed.size(), 1U);
    const LineControl& line = fake.line->programmed[0];
    EXPECT_EQ(line.BaudRate, 9600);
    EXPECT_EQ(line.ByteSize, 8);
    EXPECT_EQ(line.Parity, 0);
    EXPECT_EQ(line.StopBits, 0);
    EXPECT_EQ(line.fDtrControl, DtrControl::Enable);
    EXPECT_EQ(line.fRtsControl, RtsControl::Disable);
    EXPECT_FALSE(line.fOutxCtsFlow || line.fOutX || line.fInX);
    EXPECT_EQ(line.XonLim, 512);
    EXPECT_EQ(line.XoffLim, 1);
    EXPECT_THAT(fake.line->purges, ::testing::ElementsAre(std::make_pair(true, true)));
    EXPECT_TRUE(fake.timer->active);
    EXPECT_EQ(fake.timer->period, 50);
}

TEST_F(DriverFixture, HandshakingAndFormatReachTheLine) {
    driver.SetComPortHwHandshaking(TComPortHwHandshaking::hhRTSCTS);
    driver.SetComPortSwHandshaking(TComPortSwHandshaking::shXONXOFF);
    driver.SetComPortDataBits(TComPortDataBits::db7BITS);
    driver.SetComPortParity(TComPortParity::ptEVEN);
    driver.SetComPortStopBits(TComPortStopBits::sb2BITS);
    driver.SetEnableDTROnOpen(false);
    const LineControl line = driver.MakeLineControl();
    EXPECT_TRUE(line.fOutxCtsFlow);
    EXPECT_EQ(line.fRtsControl, RtsControl::Handshake);
    EXPECT_TRUE(line.fOutX && line.fInX);
    EXPECT_EQ(line.ByteSize, 7);
    EXPECT_EQ(line.Parity, 2);
    EXPECT_EQ(line.StopBits, 2);
    EXPECT_EQ(line.fDtrControl, DtrControl::Disable);
    EXPECT_TRUE(fake.line->programmed.empty()); // closed: stored only
}

TEST_F(DriverFixture, OpenOnAnOpenPortNeitherReopensNorReprograms) {
    ASSERT_TRUE(driver.OpenPort());
    ASSERT_TRUE(driver.OpenPort());
    EXPECT_EQ(fake.line->opened.size(), 1U);
    EXPECT_EQ(fake.line->programmed.size(), 1U);
}

TEST_F(DriverFixture, PortNumberChangedWhileOpenIsDroppedForGood) {
    driver.SetComPort(TComPortNumber::pnCOM4);
    ASSERT_TRUE(driver.OpenPort());
    EXPECT_EQ(fake.line->opened.back(), "/dev/ttyFAKE3");
    driver.SetComPort(TComPortNumber::pnCOM1);
    driver.ClosePort();
    EXPECT_EQ(driver.ComPort(), TComPortNumber::pnCOM4);
    ASSERT_TRUE(driver.OpenPort());
    EXPECT_EQ(fake.line->opened.back(), "/dev/ttyFAKE3");
}

TEST_F(DriverFixture, SpeedChangeWhileOpenReprogramsAndPurges) {
    ASSERT_TRUE(driver.OpenPort());
    fake.line->Send({1, 2, 3});
    driver.SetComPortSpeed(TComPortBaudRate::br19200);
    EXPECT_EQ(fake.line->programmed.back().BaudRate, 19200);
    EXPECT_EQ(fake.line->purges.size(), 2U);
    EXPECT_TRUE(fake.line->incoming.empty());
    driver.Poll();
    EXPECT_TRUE(chunks.empty());
}

TEST_F(DriverFixture, PollDeliversAtMostABufferPerTickAndNothingWhenEmpty) {
    ASSERT_TRUE(driver.OpenPort());
    driver.Poll();
    EXPECT_TRUE(chunks.empty());
    fake.line->Send(std::vector<std::uint8_t>(5000, 0x31));
    for (int tick = 0; tick < 4; ++tick) {
        fake.timer->tick();
    }
    EXPECT_THAT(chunks, ::testing::ElementsAre(2048, 2048, 904));
}

TEST_F(DriverFixture, InBufferSizeAndPollingDelayFollowTheirRules) {
    driver.SetComPortInBufSize(16);
    ASSERT_TRUE(driver.OpenPort());
    driver.SetComPortInBufSize(4096); // ignored while open
    fake.line->Send(std::vector<std::uint8_t>(40, 0x31));
    driver.Poll();
    EXPECT_THAT(chunks, ::testing::ElementsAre(16));
    driver.SetComPortPollingDelay(50);
    EXPECT_EQ(fake.timer->starts, 1); // equal: the running timer is left alone
    driver.SetComPortPollingDelay(20);
    EXPECT_EQ(fake.timer->starts, 2);
    EXPECT_EQ(fake.timer->period, 20);
}

TEST_F(DriverFixture, ClosingTwiceAndDestroyingUnopenedAreHarmless) {
    driver.ClosePort();
    ASSERT_TRUE(driver.OpenPort());
    driver.ClosePort();
    driver.ClosePort();
    EXPECT_EQ(fake.line->closes, 1);
    EXPECT_FALSE(fake.timer->active);
    driver.Poll(); // a late tick on a closed port does nothing
    TCommPortDriver unopened(fake.Platform());
}

TEST_F(DriverFixture, FailedOpenStaysClosedAndKeepsTheReason) {
    fake.line->nextOpen = {OpenFailure::PermissionDenied, "Permission denied"};
    EXPECT_FALSE(driver.OpenPort());
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_FALSE(fake.timer->active);
    EXPECT_EQ(driver.LastOpenResult().failure, OpenFailure::PermissionDenied);
    const std::string text =
        DescribeOpenFailure("COM2", driver.DevicePath(), driver.LastOpenResult(),
                            PortDoctor(SystemRoot{::testing::TempDir() + "no-such-root"}, {}));
    EXPECT_THAT(text, ::testing::HasSubstr("COM2 (/dev/ttyFAKE1)"));
    EXPECT_THAT(text, ::testing::HasSubstr("Permission denied"));
    EXPECT_THAT(text, ::testing::HasSubstr("dialout"));
}

TEST_F(DriverFixture, VanishedDeviceClosesThePortAndTellsOnce) {
    int vanished = 0;
    driver.OnPortVanished = [&](TCommPortDriver&) { ++vanished; };
    ASSERT_TRUE(driver.OpenPort());
    fake.line->gone = true;
    driver.Poll();
    driver.Poll();
    EXPECT_EQ(vanished, 1);
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_FALSE(fake.timer->active);
}

TEST(PortNames, NamesRatesAndTheOrderOfPorts) {
    EXPECT_EQ(PortName(TComPortNumber::pnCOM1), "COM1");
    EXPECT_EQ(PortName(TComPortNumber::pnCOM4), "COM4");
    EXPECT_EQ(BitRate(TComPortBaudRate::br19200), 19200);
    EXPECT_EQ(BitRate(TComPortBaudRate::br110), 110);
    EXPECT_EQ(OrderSerialPorts(
                  {"/dev/ttyS1", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyUSB2"}),
              (std::vector<std::string>{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                        "/dev/ttyS0", "/dev/ttyS1"}));
    ListedPortDirectory directory([] {
        return std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"};
    });
    EXPECT_EQ(directory.DevicePath("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(directory.DevicePath("COM2"), "/dev/ttyS0");
    EXPECT_EQ(directory.DevicePath("COM3"), "");
    directory.Override("COM1", "/dev/pts/7");
    EXPECT_EQ(directory.DevicePath("COM1"), "/dev/pts/7");
    EXPECT_EQ(ParsePortOverride("COM2=/dev/ttyUSB1"),
              std::make_pair(std::string("COM2"), std::string("/dev/ttyUSB1")));
    EXPECT_FALSE(ParsePortOverride("COM5=/dev/x"));
    EXPECT_FALSE(ParsePortOverride("COM1="));
}

} // namespace
} // namespace meterdesk::link
