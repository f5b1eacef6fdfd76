// Scope: the HID controller and its device objects over a simulated bus:
// the single instance, listing, rescans and what they announce, lending and
// giving back, the cached texts, and the property setters.
#include "link/HidController.h"

#include "link/HidText.h"
#include "tests/support/SimulatedDevices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace meterdesk::link {
namespace {

using sim::SimulatedHidIdentity;
using testing::HidIdentity;

// Records what the controller announces, labelled by product number.
struct Announcements {
    std::vector<std::string> events;

    static std::string Label(TJvHidDevice& device) {
        return std::to_string(device.Attributes().ProductID);
    }
    void Arrival(TJvHidDevice& HidDev) { events.push_back("arrival " + Label(HidDev)); }
    void Removal(TJvHidDevice& HidDev) { events.push_back("removal " + Label(HidDev)); }
    void Unplug(TJvHidDevice& HidDev) { events.push_back("unplug " + Label(HidDev)); }
    void Change(TJvHidDeviceController& /*Sender*/) { events.push_back("change"); }
    void OtherChange(TJvHidDeviceController& /*Sender*/) { events.push_back("other change"); }
};

struct ControllerFixture : ::testing::Test {
    testing::SimulatedHidSetup hid;
    Announcements heard;
    std::unique_ptr<TJvHidDeviceController> controller;

    std::shared_ptr<sim::SimulatedHidDevice>
    Plug(std::uint16_t product,
         SimulatedHidIdentity::Access access = SimulatedHidIdentity::Access::Full) {
        SimulatedHidIdentity identity = HidIdentity(u"Device", std::nullopt, 0x1111, product);
        identity.access = access;
        return hid.Plug(identity);
    }
    void Start() {
        controller = std::make_unique<TJvHidDeviceController>(hid.bus);
        hid.main.RunPending(); // notices of the devices plugged in before
    }
    void Listen() {
        controller->SetOnArrival(TJvHidPlugEvent::Of<&Announcements::Arrival>(&heard));
        controller->SetOnRemoval(TJvHidPlugEvent::Of<&Announcements::Removal>(&heard));
        controller->SetOnDeviceUnplug(TJvHidPlugEvent::Of<&Announcements::Unplug>(&heard));
        controller->SetOnDeviceChange(TNotifyEvent::Of<&Announcements::Change>(&heard));
    }
};

TEST_F(ControllerFixture, OnlyOneControllerPerProgram) {
    Start();
    try {
        TJvHidDeviceController second(hid.bus);
        FAIL() << "a second controller was built";
    } catch (const EControllerError& error) {
        EXPECT_STREQ(error.what(), "Only one TJvHidDeviceController allowed per program");
    }
    // The refused one does not count.
    controller.reset();
    EXPECT_NO_THROW(Start());
    EXPECT_EQ(controller->Version(), "1.0.22");
}

TEST_F(ControllerFixture, ListsDevicesThatOpenAndIdentifyThemselves) {
    Plug(1);
    Plug(2, SimulatedHidIdentity::Access::WithoutRights);
    Plug(3, SimulatedHidIdentity::Access::None);
    SimulatedHidIdentity anonymous = HidIdentity(u"Anonymous");
    anonymous.identifiable = false;
    hid.Plug(anonymous);
    Start();

    ASSERT_EQ(controller->Count(), 2);
    EXPECT_TRUE(controller->DeviceAt(0)->FullAccess());
    EXPECT_FALSE(controller->DeviceAt(1)->FullAccess());
    EXPECT_EQ(controller->FreeCount(), 2);
    EXPECT_EQ(controller->DeviceAt(1)->PnPInfo().Property("HID_NAME"), "Device");

    // Without rights: texts and numbers, but no feature report and no reader.
    const std::unique_ptr<TJvHidDevice> limited = controller->LendDevice(1);
    EXPECT_EQ(limited->ReadProductText(), u"Device");
    EXPECT_EQ(limited->Attributes().ProductID, 2);
    const std::uint8_t report[2]{0, 1};
    EXPECT_FALSE(limited->SendFeatureReport(report, 2));
    limited->SetDataHandler([](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    EXPECT_FALSE(limited->Reading());
}

TEST_F(ControllerFixture, EnumerateCountsPresentDevicesUntilTheHandlerSaysStop) {
    Start();
    EXPECT_EQ(controller->EnumerateDevices(), 0);
    Plug(1);
    Plug(2);
    Plug(3);
    controller->DeviceChange();
    // Unbound, it stops after the first device.
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    std::vector<std::int32_t> offered;
    controller->SetOnEnumerate([&](TJvHidDevice& device, std::int32_t Idx) {
        offered.push_back(Idx);
        EXPECT_EQ(device.ReadProductText(), u"Device"); // readable during the call
        return Idx < 1;
    });
    EXPECT_EQ(controller->EnumerateDevices(), 2);
    EXPECT_THAT(offered, ::testing::ElementsAre(0, 1));
}

TEST_F(ControllerFixture, LendsEachListedDeviceOnce) {
    Plug(1);
    Plug(2);
    Start();
    std::unique_ptr<TJvHidDevice> lent = controller->LendDevice(1);
    ASSERT_NE(lent, nullptr);
    EXPECT_TRUE(lent->Lent());
    EXPECT_EQ(controller->LendDevice(1), nullptr);
    EXPECT_EQ(controller->LendDevice(-1), nullptr);
    EXPECT_EQ(controller->LendDevice(controller->Count()), nullptr);
    EXPECT_EQ(controller->FreeCount(), 1);
    EXPECT_EQ(controller->LentCount(), 1);
}

TEST_F(ControllerFixture, GiveBackWhilePluggedLeavesAFreshObjectInTheSameSlot) {
    Plug(1);
    Plug(2);
    Start();
    const TJvHidDataEvent data = [](TJvHidDevice&, std::uint8_t, const std::uint8_t*,
                                    std::uint16_t) {};
    const TJvHidPlugEvent unplug = TJvHidPlugEvent::Of<&Announcements::Unplug>(&heard);
    std::unique_ptr<TJvHidDevice> lent = controller->LendDevice(1);
    const TJvHidDevice* old = lent.get();
    lent->SetUnplugHandler(unplug);
    lent->SetReaderSleep(250);
    lent->SetDataHandler(data);
    EXPECT_TRUE(lent->Reading());
    lent.reset();

    const TJvHidDevice* fresh = controller->DeviceAt(1);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(fresh->Attributes().ProductID, 2);
    EXPECT_FALSE(fresh->Lent());
    EXPECT_FALSE(fresh->Reading());
    EXPECT_TRUE(fresh->DataHandler() == data);
    EXPECT_TRUE(fresh->UnplugHandler() == unplug);
    EXPECT_EQ(fresh->ReaderSleep(), 250);
    EXPECT_EQ(controller->FreeCount(), 2);
    EXPECT_EQ(controller->LentCount(), 0);
    EXPECT_NE(controller->LendDevice(1), nullptr);
}

TEST_F(ControllerFixture, LentDeviceUnpluggedStaysListedAndIsAnnouncedGoneAtEveryRescan) {
    Plug(1);
    const auto second = Plug(2);
    Start();
    Listen();
    ASSERT_THAT(heard.events, ::testing::ElementsAre("change")); // the first handler
    std::unique_ptr<TJvHidDevice> lent = controller->LendDevice(1);
    lent->SetUnplugHandler(TJvHidPlugEvent::Of<&Announcements::Unplug>(&heard));
    EXPECT_EQ(lent->ReadProductText(), u"Device");

    hid.bus->Pull(second);
    hid.main.RunPending(); // the system's notice
    controller->DeviceChange();
    EXPECT_THAT(heard.events, ::testing::ElementsAre("change", "unplug 2", "removal 2", "change",
                                                     "removal 2", "change"));
    EXPECT_EQ(controller->Count(), 2);
    EXPECT_FALSE(lent->Present());
    EXPECT_EQ(lent->ReadProductText(), u"Device"); // cached
    EXPECT_EQ(controller->UnpluggedCount(), 1);
    EXPECT_EQ(controller->LentCount(), 0);

    lent.reset();
    EXPECT_EQ(controller->Count(), 1);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
}

TEST_F(ControllerFixture, IdenticalDevicesAreToldApartByIdentity) {
    const auto first = hid.Plug(HidIdentity(u"Twin"));
    const auto second = hid.Plug(HidIdentity(u"Twin"));
    Start();
    Listen();
    const TJvHidDevice* kept = controller->DeviceAt(0);
    const std::string keptIdentity = kept->PnPInfo().DeviceInstance();
    ASSERT_NE(keptIdentity, controller->DeviceAt(1)->PnPInfo().DeviceInstance());

    hid.bus->Pull(second);
    hid.main.RunPending();
    ASSERT_EQ(controller->Count(), 1);
    // The same object stays; the listing's copy of it is dropped.
    EXPECT_EQ(controller->DeviceAt(0), kept);
    EXPECT_EQ(kept->PnPInfo().DeviceInstance(), keptIdentity);
    EXPECT_THAT(heard.events,
                ::testing::ElementsAre("change", "unplug 57352", "removal 57352", "change"));
}

TEST_F(ControllerFixture, OnDeviceChangeRescansOnlyForAnotherHandler) {
    Start();
    Listen();
    Plug(7); // its notice stays queued
    controller->SetOnDeviceChange(TNotifyEvent::Of<&Announcements::Change>(&heard));
    EXPECT_THAT(heard.events, ::testing::ElementsAre("change"));
    controller->SetOnDeviceChange(TNotifyEvent::Of<&Announcements::OtherChange>(&heard));
    EXPECT_THAT(heard.events, ::testing::ElementsAre("change", "arrival 7", "other change"));
    // Rescans that change nothing stay quiet once the first was announced.
    hid.main.RunPending();
    EXPECT_EQ(heard.events.size(), 3U);
}

TEST_F(ControllerFixture, WithoutHidServicesNothingIsListedOrWatched) {
    hid.bus->SetAvailable(false);
    Plug(1);
    Start();
    Listen();
    Plug(2);
    hid.main.RunPending();
    EXPECT_EQ(controller->Count(), 0);
    EXPECT_EQ(controller->EnumerateDevices(), 0);
    EXPECT_THAT(heard.events, ::testing::ElementsAre("change"));
}

TEST_F(ControllerFixture, SettersReachOnlyDevicesThatHadTheOldValue) {
    Plug(1);
    Plug(2);
    Start();
    std::unique_ptr<TJvHidDevice> lent = controller->LendDevice(0);
    const TJvHidDataErrorEvent own = [](TJvHidDevice&, std::uint32_t) {};
    lent->SetDataErrorHandler(own);
    lent->SetReaderSleep(50);
    const TJvHidDataErrorEvent shared = [](TJvHidDevice&, std::uint32_t) {};
    controller->SetOnDeviceDataError(shared);
    controller->SetDevThreadSleepTime(300);
    EXPECT_TRUE(lent->DataErrorHandler() == own);
    EXPECT_EQ(lent->ReaderSleep(), 50);
    EXPECT_TRUE(controller->DeviceAt(1)->DataErrorHandler() == shared);
    EXPECT_EQ(controller->DeviceAt(1)->ReaderSleep(), 300);
    // New objects take the controller's handlers.
    Plug(3);
    hid.main.RunPending();
    ASSERT_EQ(controller->Count(), 3);
    EXPECT_TRUE(controller->DeviceAt(2)->DataErrorHandler() == shared);
}

TEST(HidDevice, ReaderSleepTakesOnlyTenToTenThousand) {
    testing::SimulatedHidSetup hid;
    hid.Plug(HidIdentity(u"Device"));
    TJvHidDeviceController controller(hid.bus);
    const std::unique_ptr<TJvHidDevice> device = controller.LendDevice(0);
    for (const auto& [value, kept] : std::vector<std::pair<int, int>>{
             {9, 100}, {10, 10}, {10001, 10}, {10000, 10000}, {-5, 10000}}) {
        device->SetReaderSleep(value);
        EXPECT_EQ(device->ReaderSleep(), kept) << value;
    }
}

struct SerialCase {
    const char* name;
    std::optional<std::u16string> serial;
    std::optional<std::u16string> languages;
    std::u16string expected;
};

void PrintTo(const SerialCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialText : public ::testing::TestWithParam<SerialCase> {};

TEST_P(SerialText, IsKeptOnlyWhenItDiffersFromTheLanguageList) {
    testing::SimulatedHidSetup hid;
    SimulatedHidIdentity identity = HidIdentity(u"Meter", GetParam().serial);
    identity.languages = GetParam().languages;
    hid.Plug(identity);
    TJvHidDeviceController controller(hid.bus);
    const std::unique_ptr<TJvHidDevice> device = controller.LendDevice(0);
    EXPECT_EQ(NarrowText(device->ReadSerialText()), NarrowText(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialText,
    ::testing::Values(SerialCase{"Distinct", u"A1B2", u"\u0409", u"A1B2"},
                      SerialCase{"EqualToLanguages", u"\u0409", u"\u0409", u""},
                      SerialCase{"LanguagesLeftUntouched", u"A1B2", std::nullopt, u""},
                      SerialCase{"NoSerialString", std::nullopt, u"\u0409", u""},
                      SerialCase{"PrefixOfLongerList", u"\u0409x", u"\u0409\u0407", u"\u0409x"}),
    [](const ::testing::TestParamInfo<SerialCase>& param) {
        return std::string(param.param.name);
    });

} // namespace
} // namespace meterdesk::link
