// Scope: the reader of a lent device: reports handed to the main thread in
// order, read errors, and stopping it in every state it can be in (also from
// inside its own hand-over). Runs under ThreadSanitizer in CI.
#include "link/HidController.h"
#include "tests/support/SimulatedDevices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace meterdesk::link {
namespace {

struct Delivery {
    std::thread::id thread;
    std::uint8_t reportId;
    std::vector<std::uint8_t> data;
};

struct ReaderFixture : ::testing::Test {
    testing::SimulatedHidSetup hid;
    std::shared_ptr<sim::SimulatedHidDevice> simulated =
        hid.Plug(testing::HidIdentity(u"USB to Serial"));
    TJvHidDeviceController controller{hid.bus};
    std::unique_ptr<TJvHidDevice> device = controller.LendDevice(0);
    std::vector<Delivery> delivered;
    std::vector<std::uint32_t> errors;

    ReaderFixture() {
        hid.main.RunPending(); // the notice of the plug-in
        device->SetReaderSleep(10);
    }
    ~ReaderFixture() override {
        if (device) {
            device->SetDataHandler(nullptr);
        }
    }

    TJvHidDataEvent Recorder() {
        return [this](TJvHidDevice& HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                      std::uint16_t Size) {
            EXPECT_EQ(&HidDev, device.get());
            delivered.push_back({std::this_thread::get_id(), ReportID, {Data, Data + Size}});
        };
    }
    bool RunUntilDelivered(std::size_t count) {
        return hid.main.RunUntil([&] { return delivered.size() >= count; });
    }
};

TEST_F(ReaderFixture, ReportsReachTheHandlerInOrderOnTheMainThread) {
    device->SetDataHandler(Recorder());
    ASSERT_TRUE(device->Reading());
    constexpr std::uint8_t kReports = 40;
    for (std::uint8_t i = 0; i < kReports; ++i) {
        simulated->Send({2, 0xF1, i});
    }
    simulated->Send({5}); // the report ID alone
    ASSERT_TRUE(RunUntilDelivered(kReports + 1U));
    for (std::uint8_t i = 0; i < kReports; ++i) {
        const Delivery& d = delivered[i];
        EXPECT_EQ(d.thread, std::this_thread::get_id());
        EXPECT_EQ(d.reportId, 2);
        EXPECT_THAT(d.data, ::testing::ElementsAre(0xF1, i));
    }
    EXPECT_EQ(delivered.back().reportId, 5);
    EXPECT_TRUE(delivered.back().data.empty());
}

TEST_F(ReaderFixture, StopWithAHandOverPendingRunsItAndReturns) {
    device->SetReaderSleep(10000); // the stop must not wait for the slice
    device->SetDataHandler(Recorder());
    simulated->Send({0, 0xF0});
    ASSERT_TRUE(hid.main.WaitForWork()); // the reader waits in its hand-over
    device->SetDataHandler(nullptr);
    EXPECT_FALSE(device->Reading());
    ASSERT_EQ(delivered.size(), 1U);
    simulated->Send({0, 0xF0});
    hid.main.RunPending();
    EXPECT_EQ(delivered.size(), 1U);
}

TEST_F(ReaderFixture, StopFromInsideItsOwnHandOverDoesNotWaitForItself) {
    device->SetDataHandler(
        [this](TJvHidDevice& HidDev, std::uint8_t, const std::uint8_t*, std::uint16_t) {
            delivered.push_back({});
            HidDev.SetDataHandler(nullptr);
            EXPECT_FALSE(HidDev.Reading());
        });
    simulated->Send({0, 0xF0});
    simulated->Send({0, 0xF0});
    ASSERT_TRUE(RunUntilDelivered(1));
    hid.main.RunPending();
    EXPECT_EQ(delivered.size(), 1U);
    EXPECT_EQ(simulated->QueuedReports(), 1U);
}

TEST_F(ReaderFixture, GiveBackFromInsideItsOwnHandOverLeavesAFreshObject) {
    device->SetDataHandler([this](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        device.reset();
    });
    simulated->Send({0, 0xF0});
    ASSERT_TRUE(hid.main.RunUntil([&] { return device == nullptr; }));
    const TJvHidDevice* fresh = controller.DeviceAt(0);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(fresh->Lent());
    EXPECT_FALSE(fresh->Reading());
}

TEST_F(ReaderFixture, PulledDeviceReportsReadErrorsUntilStopped) {
    device->SetDataErrorHandler(
        [this](TJvHidDevice&, std::uint32_t Error) { errors.push_back(Error); });
    device->SetDataHandler(Recorder());
    simulated->Disconnect();
    ASSERT_TRUE(hid.main.RunUntil([&] { return errors.size() >= 2; }));
    EXPECT_THAT(errors, ::testing::Each(ENODEV));
    device->SetDataHandler(nullptr);
    const std::size_t seen = errors.size();
    hid.main.RunPending();
    EXPECT_EQ(errors.size(), seen);
}

TEST_F(ReaderFixture, ReaderRunsOnlyForALentDeviceWithAHandler) {
    // The controller's handler reaches every listed device; reading starts
    // for the lent ones.
    hid.Plug(testing::HidIdentity(u"Second"));
    controller.DeviceChange();
    controller.SetOnDeviceData(Recorder());
    EXPECT_FALSE(controller.DeviceAt(1)->Reading());
    EXPECT_TRUE(device->Reading());
    const std::unique_ptr<TJvHidDevice> second = controller.LendDevice(1);
    EXPECT_TRUE(second->Reading());
    second->SetDataHandler(nullptr);
}

// Comes back at once with nothing, as the system's read does for a device
// whose input report is zero bytes long; counts the reads.
class ImpatientDevice final : public sim::SimulatedHidDevice {
public:
    ImpatientDevice(sim::SimulatedHidIdentity identity, HidReadStatus answer)
        : SimulatedHidDevice(std::move(identity)), answer_(answer) {}
    HidReadResult Read(std::uint8_t*, std::size_t, std::uint32_t) override {
        ++reads;
        return {answer_, 0, 0};
    }
    std::atomic<int> reads{0};

private:
    HidReadStatus answer_;
};

TEST(HidReaderPacing, AReadThatReturnsAtOnceWithNothingWaitsOutItsSlice) {
    for (const HidReadStatus answer : {HidReadStatus::TimedOut, HidReadStatus::Report}) {
        testing::SimulatedHidSetup hid;
        sim::SimulatedHidIdentity identity = testing::HidIdentity(u"USB to Serial");
        identity.caps.InputReportByteLength = 1; // the report ID alone
        const auto simulated = std::make_shared<ImpatientDevice>(identity, answer);
        hid.bus->Plug(simulated);
        TJvHidDeviceController controller{hid.bus};
        hid.main.RunPending();
        const std::unique_ptr<TJvHidDevice> device = controller.LendDevice(0);
        device->SetReaderSleep(10000);
        device->SetDataHandler([](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
            ADD_FAILURE() << "nothing to deliver";
        });
        ASSERT_TRUE(device->Reading());
        while (simulated->reads == 0) {
            std::this_thread::yield();
        }
        // A spinning reader reads millions of times here; a paced one waits
        // out its ten-second slice after the first read.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(simulated->reads, 1);
        device->SetDataHandler(nullptr); // the stop does not wait for the slice
        EXPECT_FALSE(device->Reading());
    }
}

} // namespace
} // namespace meterdesk::link
