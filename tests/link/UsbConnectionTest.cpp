// Scope: the window's USB link without a window: the device list and the
// bridge it picks, the set-up report, connecting and disconnecting, reports
// decoded end to end, the silent-meter watch, and what a change of devices
// does to a running link: it goes on, or waits for its bridge to return.
#include "link/UsbConnection.h"

#include "sim/FrameEncoder.h"
#include "sim/VirtualBridge.h"
#include "sim/VirtualMeter.h"
#include "tests/support/DecodingChain.h"
#include "tests/support/SimulatedDevices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace meterdesk::link {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::HidIdentity;

// The window's controls as plain data.
struct FakeUsbView final : UsbLinkView {
    std::vector<std::string> lines;
    int selected = -1;
    std::vector<std::string> history;
    bool usbConDown = false;
    bool readBtnDown = false;
    std::vector<std::string> informed;

    void ClearDeviceLines() override {
        lines.clear();
        selected = -1;
    }
    void AddDeviceLine(const std::string& text) override { lines.push_back(text); }
    int SelectedDeviceLine() const override { return selected; }
    void SelectDeviceLine(int line) override { selected = line; }
    void AddHistoryLine(const std::string& text) override { history.push_back(text); }
    void ClearHistory() override { history.clear(); }
    bool UsbConDown() const override { return usbConDown; }
    void SetUsbConUp() override { usbConDown = false; }
    bool ReadBtnDown() const override { return readBtnDown; }
    void SetReadBtnUp() override { readBtnDown = false; }
    void ShowInformation(const std::string& text) override { informed.push_back(text); }
    void LinkBreak(bool waiting, const std::string& text) override {
        breaks.emplace_back(waiting, text);
    }
    std::vector<std::pair<bool, std::string>> breaks;
};

// A bridge input report: ID 0, then the count and payload, zero padded.
std::vector<std::uint8_t> Report(std::initializer_list<std::uint8_t> bytes) {
    std::vector<std::uint8_t> report(9, 0);
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 8), report.begin() + 1);
    return report;
}

struct UsbLinkFixture : ::testing::Test {
    testing::SimulatedHidSetup hid;
    testing::DecodingChain chain;
    base::ModelProfile profile = base::kBuildProfile;
    FakeUsbView view;
    std::unique_ptr<link::TJvHidDeviceController> controller;
    std::unique_ptr<UsbConnection> usb;
    int decoded = 0;

    std::shared_ptr<sim::SimulatedHidDevice> PlugBridge() {
        return hid.Plug(HidIdentity(u"USB to Serial"));
    }

    // The window's part: the controller with the link's handlers bound.
    void Start() {
        chain.decoder.handOffs.ReadingReady = [this] { ++decoded; };
        chain.assembler.sink.HistoryLine = [this](const std::string& line) {
            view.AddHistoryLine(line);
        };
        controller = std::make_unique<link::TJvHidDeviceController>(hid.bus);
        usb = std::make_unique<UsbConnection>(
            *controller, view, chain.state, profile,
            BridgeReportHandlers{
                [this](link::TJvHidDevice&, std::uint8_t id, const std::uint8_t* data,
                       std::uint16_t size) { chain.assembler.HidHeronRData(id, data, size); },
                [this](link::TJvHidDevice&, std::uint8_t id, const std::uint8_t* data,
                       std::uint16_t size) { chain.assembler.HidPipitRData(id, data, size); }});
        controller->SetOnEnumerate(
            link::TJvHidEnumerateEvent::Of<&UsbConnection::Enumerate>(usb.get()));
        controller->SetOnArrival(link::TJvHidPlugEvent::Of<&UsbConnection::Arrival>(usb.get()));
        controller->SetOnRemoval(link::TJvHidPlugEvent::Of<&UsbConnection::Removal>(usb.get()));
        controller->SetOnDeviceChange(
            [this](link::TJvHidDeviceController&) { usb->DeviceChange(); });
    }
    void ClickUsbConnect() {
        view.usbConDown = !view.usbConDown;
        usb->USBConClick();
    }
    void TearDown() override {
        if (usb) {
            usb->StopReading();
        }
        controller.reset();
        usb.reset();
    }
};

TEST_F(UsbLinkFixture, ListsEveryDeviceAndSelectsTheLaterBridge) {
    const auto first = PlugBridge();
    hid.Plug(HidIdentity(std::nullopt, std::nullopt, 0x04D9, 0xA0F8));
    hid.Plug(HidIdentity(u"USB to Serial", u"0001"));
    PlugBridge();
    hid.Plug(HidIdentity(u"usb to serial"));
    Start();
    EXPECT_THAT(view.lines,
                ElementsAre("USB to Serial", "Device VID=04D9 PID=A0F8",
                            "USB to Serial (Serial=0001)", "USB to Serial", "usb to serial"));
    EXPECT_EQ(view.selected, 3);
    // Every line holds its lent device.
    for (int line = 0; line < usb->LineCount(); ++line) {
        ASSERT_NE(usb->LineDevice(line), nullptr);
        EXPECT_TRUE(usb->LineDevice(line)->Lent());
    }
}

TEST_F(UsbLinkFixture, BridgeWithASerialNumberIsNotTaken) {
    const auto bridge = hid.Plug(HidIdentity(u"USB to Serial", u"0001"));
    Start();
    EXPECT_EQ(view.selected, -1);
    ClickUsbConnect();
    EXPECT_THAT(view.informed, ElementsAre(kCableNotConnected));
    EXPECT_FALSE(view.usbConDown);
    EXPECT_TRUE(bridge->FeatureReports().empty());
    EXPECT_EQ(usb->CurrentDevice(), nullptr);
}

struct SetUpCase {
    const char* name;
    base::ModelProfile profile;
    const char* historyLine;
    std::vector<std::uint8_t> sent; // at the bridge's feature length
};

void PrintTo(const SetUpCase& c, std::ostream* os) {
    *os << c.name;
}

class SetUpReport : public UsbLinkFixture, public ::testing::WithParamInterface<SetUpCase> {};

TEST_P(SetUpReport, FollowsTheProfileFlags) {
    const auto bridge = PlugBridge();
    profile = GetParam().profile;
    Start();
    usb->SetFeatureClick();
    EXPECT_THAT(view.history, ElementsAre(GetParam().historyLine));
    EXPECT_THAT(bridge->FeatureReports(), ElementsAre(GetParam().sent));
}

INSTANTIATE_TEST_SUITE_P(Profiles, SetUpReport,
                         ::testing::Values(SetUpCase{"OspreyAlone",
                                                     {.IFOsprey = true},
                                                     "00 4B 00 00 03 00 00 00 00 ",
                                                     {0x00, 0x00, 0x4B, 0x00, 0x00, 0x03}},
                                           SetUpCase{"OspreyAndHeron",
                                                     {.IFHeron = true, .IFOsprey = true},
                                                     "60 09 00 00 03 00 00 00 00 ",
                                                     {0x00, 0x60, 0x09, 0x00, 0x00, 0x03}},
                                           SetUpCase{"NoFlag",
                                                     {},
                                                     "60 09 00 00 03 00 00 00 00 ",
                                                     {0x00, 0x60, 0x09, 0x00, 0x00, 0x03}}),
                         [](const ::testing::TestParamInfo<SetUpCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(UsbLinkFixture, ReportsOfOneFrameAreDecodedAtTheFirstEmptyReport) {
    const auto bridge = PlugBridge();
    Start();
    ClickUsbConnect();
    ASSERT_TRUE(view.usbConDown);
    ASSERT_NE(usb->CurrentDevice(), nullptr);
    EXPECT_TRUE(usb->CurrentDevice()->Reading());

    const sim::MeterReading reading{
        .functionCode = 'B', .digits = {1, 2, 3, 4}, .dc = true, .autoRange = true};
    const sim::LineFrame frame = sim::EncodeFrame(reading);
    const auto b = [&frame](std::size_t i) { return frame[i]; };
    bridge->Send(Report({0xF4, b(0), b(1), b(2), b(3)}));
    bridge->Send(Report({0xF4, b(4), b(5), b(6), b(7)}));
    bridge->Send(Report({0xF3, b(8), b(9), b(10)}));
    bridge->Send(Report({0xF0}));
    ASSERT_TRUE(hid.main.RunUntil([&] { return decoded == 1; }));
    const auto text = sim::EncodeFrameText(reading);
    EXPECT_EQ(chain.state.FrameText, std::string(text.begin(), text.end()));
    EXPECT_EQ(chain.state.ReadingCoupling, "DC");
    EXPECT_EQ(chain.state.HidIdleReports, 1);
    // The set-up line, then one line per data report.
    EXPECT_EQ(view.history.size(), 4U);
    EXPECT_THAT(view.history[1], ::testing::StartsWith("R 00  F4 "));
}

TEST_F(UsbLinkFixture, SilentMeterStopsTheLinkAtTheWatch) {
    const auto bridge = PlugBridge();
    Start();
    ClickUsbConnect();
    for (std::int32_t i = 0; i < kSilentReports; ++i) {
        bridge->Send(Report({0xF0}));
    }
    ASSERT_TRUE(hid.main.RunUntil([&] { return chain.state.HidIdleReports == kSilentReports; }));
    usb->WatchSilentMeter();
    EXPECT_THAT(view.informed, ElementsAre(kMeterSilent));
    EXPECT_FALSE(view.usbConDown);
    EXPECT_FALSE(usb->CurrentDevice()->Reading());
    EXPECT_EQ(chain.state.HidIdleReports, 0);
    // One report short of it, nothing happens.
    chain.state.HidIdleReports = kSilentReports - 1;
    usb->WatchSilentMeter();
    EXPECT_EQ(view.informed.size(), 1U);
}

TEST_F(UsbLinkFixture, AnotherDevicePluggedInLeavesTheBridgeSelectedAndReading) {
    const auto bridge = PlugBridge();
    Start();
    ClickUsbConnect();
    const std::string identity = usb->CurrentDevice()->PnPInfo().DeviceInstance();

    hid.Plug(HidIdentity(u"Keyboard"));
    hid.main.RunPending(); // the system's notice
    EXPECT_TRUE(view.usbConDown);
    EXPECT_THAT(view.lines, ElementsAre("USB to Serial", "Keyboard"));
    EXPECT_EQ(view.selected, 0);
    EXPECT_THAT(view.history, ::testing::Contains("Arrival of Keyboard"));
    // The bridge's new object, set up again and reading; a break without
    // words, as the bridge never left.
    ASSERT_NE(usb->CurrentDevice(), nullptr);
    EXPECT_EQ(usb->CurrentDevice(), usb->LineDevice(0));
    EXPECT_EQ(usb->CurrentDevice()->PnPInfo().DeviceInstance(), identity);
    EXPECT_TRUE(usb->CurrentDevice()->Reading());
    EXPECT_EQ(bridge->FeatureReports().size(), 2U);
    EXPECT_THAT(view.breaks, ElementsAre(std::pair(false, std::string())));
    bridge->Send(Report({0xF0}));
    ASSERT_TRUE(hid.main.RunUntil([&] { return bridge->QueuedReports() == 0; }));
}

TEST_F(UsbLinkFixture, BridgePulledAndPluggedInAgainGoesOnWithEveryFrameAfterItsReturn) {
    auto bridge = std::make_shared<sim::VirtualBridge>(sim::Scenario::Wander);
    hid.bus->Plug(bridge);
    Start();
    std::vector<std::string> afterReturn;
    chain.decoder.handOffs.ReadingReady = [&] {
        ++decoded;
        if (!view.breaks.empty() && view.breaks.back().second == kBridgeBack) {
            afterReturn.push_back(chain.state.ReadingValue);
        }
    };
    ClickUsbConnect();
    ASSERT_TRUE(hid.main.RunUntil([&] { return decoded >= 2; }));

    hid.bus->Pull(bridge);
    hid.main.RunPending();
    EXPECT_TRUE(view.usbConDown); // still connected, waiting
    EXPECT_EQ(usb->CurrentDevice(), nullptr);
    EXPECT_THAT(view.breaks, ElementsAre(std::pair(true, std::string(kBridgeLost))));
    hid.Plug(HidIdentity(u"Keyboard")); // what else comes and goes meanwhile
    hid.main.RunPending();
    EXPECT_EQ(view.breaks.size(), 1U);

    // Plugged in again: a new device instance, a stream from its start.
    const auto again = std::make_shared<sim::VirtualBridge>(sim::Scenario::Wander);
    hid.bus->Plug(again);
    hid.main.RunPending();
    EXPECT_EQ(view.breaks.back(), std::pair(false, std::string(kBridgeBack)));
    EXPECT_EQ(again->FeatureReports().size(), 1U);
    ASSERT_NE(usb->CurrentDevice(), nullptr);
    EXPECT_TRUE(usb->CurrentDevice()->Reading());
    constexpr std::size_t kFrames = 6;
    ASSERT_TRUE(hid.main.RunUntil([&] { return afterReturn.size() >= kFrames; }));

    testing::DecodingChain reference;
    std::vector<std::string> sent;
    reference.decoder.handOffs.ReadingReady = [&] { sent.push_back(reference.state.ReadingValue); };
    sim::VirtualMeter meter(sim::Scenario::Wander);
    reference.FeedSerial({0x0A}); // on the line a frame starts after the last one's LF
    while (sent.size() < kFrames) {
        reference.FeedSerial(meter.NextBytes());
    }
    afterReturn.resize(kFrames);
    EXPECT_EQ(afterReturn, sent);

    // "USB Connect" released while waiting stops the wait.
    hid.bus->Pull(again);
    hid.main.RunPending();
    ClickUsbConnect();
    EXPECT_EQ(view.breaks.back(), std::pair(false, std::string(kBridgeNoLongerAwaited)));
    hid.bus->Plug(std::make_shared<sim::VirtualBridge>());
    hid.main.RunPending();
    EXPECT_FALSE(usb->CurrentDevice() != nullptr && usb->CurrentDevice()->Reading());
}

TEST_F(UsbLinkFixture, BridgePulledOutLeavesNoCurrentDevice) {
    const auto bridge = PlugBridge();
    Start();
    ClickUsbConnect();
    hid.bus->Pull(bridge);
    hid.main.RunPending();
    EXPECT_EQ(usb->CurrentDevice(), nullptr);
    EXPECT_THAT(view.history, ::testing::Contains("Removal of USB to Serial"));
    chain.state.HidIdleReports = kSilentReports;
    usb->WatchSilentMeter(); // acts on no device
    // Releasing "USB Connect" now finds no cable.
    ClickUsbConnect();
    EXPECT_THAT(view.informed, ElementsAre(kMeterSilent, kCableNotConnected));
}

TEST_F(UsbLinkFixture, BridgeWithoutRightsIsExplainedInsteadOfIgnored) {
    sim::SimulatedHidIdentity identity = HidIdentity(u"USB to Serial");
    identity.access = sim::SimulatedHidIdentity::Access::WithoutRights;
    hid.Plug(identity);
    Start();
    view.readBtnDown = true;
    ClickUsbConnect();
    EXPECT_FALSE(view.usbConDown);
    EXPECT_FALSE(view.readBtnDown);
    ASSERT_EQ(view.informed.size(), 1U);
    EXPECT_THAT(view.informed[0], HasSubstr("(sim:hidraw0)"));
    EXPECT_THAT(view.informed[0], HasSubstr("70-meterdesk-usb-bridge.rules"));
    // Releasing the button says nothing more.
    usb->USBConClick();
    EXPECT_EQ(view.informed.size(), 1U);
}

TEST_F(UsbLinkFixture, ReadButtonBindsTheOtherFamilysHandler) {
    const auto bridge = PlugBridge();
    Start();
    view.readBtnDown = true;
    usb->ReadBtnClick();
    ASSERT_TRUE(usb->CurrentDevice()->Reading());
    bridge->Send(Report({0xF2, 0x31, 0xE2}));
    bridge->Send(Report({0xF0}));
    ASSERT_TRUE(hid.main.RunUntil([&] { return chain.state.FrameText == "12"; }));
    EXPECT_EQ(decoded, 0);
    view.readBtnDown = false;
    usb->ReadBtnClick();
    EXPECT_FALSE(usb->CurrentDevice()->Reading());
}

TEST_F(UsbLinkFixture, InfoShowsTheSelectedDeviceAndHistoryCanBeCleared) {
    PlugBridge();
    Start();
    usb->InfoBtnClick();
    ASSERT_EQ(view.informed.size(), 1U);
    const std::string& info = view.informed[0];
    for (const char* part : {"USB to Serial", "Vendor ID: 04D9", "Product ID: E008",
                             "Version: 0100", "Serial number: none", "Read and write access: yes",
                             "Input report length: 9 bytes", "Device: sim:hidraw0"}) {
        EXPECT_THAT(info, HasSubstr(part));
    }
    view.selected = -1;
    usb->InfoBtnClick();
    EXPECT_EQ(view.informed.size(), 1U);

    usb->DataError(*usb->LineDevice(0), 19);
    EXPECT_EQ(view.history.back(), "READ ERROR: No such device (13)");
    usb->ClearBtnClick();
    EXPECT_TRUE(view.history.empty());
}

} // namespace
} // namespace meterdesk::link
