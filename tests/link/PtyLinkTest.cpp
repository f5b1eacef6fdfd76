// Scope: the serial path end to end over a real pseudo-terminal: virtual
// meter -> Qt serial port -> serial component -> assembly -> decoding.
#include "link/CommPortDriver.h"
#include "link/platform/QtSerialLink.h"
#include "sim/PtyEndpoint.h"
#include "sim/VirtualMeter.h"
#include "tests/support/DecodingChain.h"
#include "tests/support/FakeSerial.h"

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace meterdesk::link {
namespace {

struct PtyLink : ::testing::Test {
    sim::PtyEndpoint pty;
    testing::FakeSerialPlatform manual; // a timer the test ticks by hand
    testing::DecodingChain chain;
    std::unique_ptr<TCommPortDriver> driver;
    int decoded = 0;

    void SetUp() override {
        manual.directory->paths["COM1"] = pty.DevicePath();
        driver = std::make_unique<TCommPortDriver>(
            SerialPlatform{MakeQtSerialPort, manual.Platform().makeTimer, manual.directory});
        driver->SetComPort(TComPortNumber::pnCOM1);
        driver->SetComPortSpeed(TComPortBaudRate::br19200);
        driver->OnReceiveData = [this](TCommPortDriver&, const std::uint8_t* data,
                                       std::int32_t size) {
            chain.assembler.HHeronRData(data, static_cast<std::uint32_t>(size));
        };
        chain.decoder.handOffs.ReadingReady = [this] { ++decoded; };
        ASSERT_TRUE(driver->OpenPort()) << driver->LastOpenResult().reason;
    }

    // Ticks until `bytes` more bytes arrived (a pty hands them on at once,
    // but the kernel may take a moment).
    void TickUntilDelivered(std::size_t bytes) {
        std::size_t delivered = 0;
        const auto counting = driver->OnReceiveData;
        driver->OnReceiveData = [&](TCommPortDriver& sender, const std::uint8_t* data,
                                    std::int32_t size) {
            delivered += static_cast<std::size_t>(size);
            counting(sender, data, size);
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (delivered < bytes && std::chrono::steady_clock::now() < deadline) {
            driver->Poll();
            if (delivered < bytes) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        driver->OnReceiveData = counting;
        ASSERT_EQ(delivered, bytes);
    }
};

TEST_F(PtyLink, FramesSplitAtEveryByteAcrossTicksDecodeAndTheFirstPartialIsDropped) {
    sim::VirtualMeter meter(sim::Scenario::Sweep);
    // The meter was already talking: the program starts in mid-frame.
    const std::vector<std::uint8_t> first = meter.NextBytes();
    pty.Write(first.data() + 4, first.size() - 4);
    TickUntilDelivered(first.size() - 4);
    EXPECT_EQ(decoded, 0);

    constexpr int kFrames = 12;
    for (int i = 0; i < kFrames; ++i) {
        const sim::MeterReading reading = meter.NextReading();
        for (const std::uint8_t byte : meter.NextBytes()) {
            pty.Write(&byte, 1);
            TickUntilDelivered(1);
        }
        ASSERT_EQ(decoded, i + 1);
        EXPECT_EQ(chain.state.FrameText.substr(1, 4),
                  std::string(1, static_cast<char>('0' + reading.rangeCode)) +
                      std::to_string(reading.digits[0]) + std::to_string(reading.digits[1]) +
                      std::to_string(reading.digits[2]));
    }
}

TEST_F(PtyLink, ManyFramesInOneTick) {
    sim::VirtualMeter meter(sim::Scenario::LineRate);
    std::vector<std::uint8_t> line{0x0A};
    for (int i = 0; i < 300; ++i) {
        const auto bytes = meter.NextBytes();
        line.insert(line.end(), bytes.begin(), bytes.end());
    }
    pty.Write(line.data(), line.size());
    TickUntilDelivered(line.size());
    EXPECT_EQ(decoded, 300);
}

TEST_F(PtyLink, BytesTheEventLoopTookBeforeThePollComeFirstAndThenItLeavesTheLine) {
    // Between polls the event loop may take the first byte off the line; the
    // poll must hand it on ahead of the rest.
    std::string received;
    driver->OnReceiveData = [&](TCommPortDriver&, const std::uint8_t* data, std::int32_t size) {
        received.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    };
    driver->Poll(); // a quiet line: the poll returns at once, empty-handed
    EXPECT_TRUE(received.empty());
    const std::string sent = "\n11234;00;\r\n12345;00;\r\n";
    pty.Write(reinterpret_cast<const std::uint8_t*>(sent.data()), 5);
    // Qt's one-byte buffer takes the first byte off the line; four stay.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pty.Unread() == 4; }));
    pty.Write(reinterpret_cast<const std::uint8_t*>(sent.data()) + 5, sent.size() - 5);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        driver->Poll();
        return received.size() >= sent.size();
    }));
    EXPECT_EQ(received, sent);

    // From then on the event loop leaves the line alone: it no longer wakes
    // between polls to take a byte, and the poll reads everything.
    pty.Write(reinterpret_cast<const std::uint8_t*>(sent.data()), sent.size());
    QTest::qWait(50);
    EXPECT_EQ(pty.Unread(), sent.size());
    received.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        driver->Poll();
        return received.size() >= sent.size();
    }));
    EXPECT_EQ(received, sent);
}

TEST_F(PtyLink, MeterEndThatHangsUpReadsAsAVanishedPort) {
    int vanished = 0;
    driver->OnPortVanished = [&](TCommPortDriver&) { ++vanished; };
    pty.Hangup();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (vanished == 0 && std::chrono::steady_clock::now() < deadline) {
        driver->Poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(vanished, 1);
    EXPECT_FALSE(driver->IsOpen());
}

} // namespace
} // namespace meterdesk::link
