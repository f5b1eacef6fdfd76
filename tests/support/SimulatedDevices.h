#pragma once

#include "sim/SimulatedHid.h"
#include "sim/VirtualBridge.h"
#include "tests/support/ManualMainThread.h"

#include <memory>
#include <optional>
#include <string>

namespace meterdesk::testing {

// A device with 8-byte input reports and 5-byte feature reports, numbered
// none, naming itself as given.
inline sim::SimulatedHidIdentity HidIdentity(std::optional<std::u16string> product,
                                             std::optional<std::u16string> serial = std::nullopt,
                                             std::uint16_t vendor = 0x04D9,
                                             std::uint16_t productId = 0xE008) {
    sim::SimulatedHidIdentity identity = sim::VirtualBridge::BridgeIdentity();
    identity.attributes = {vendor, productId, 0x0100};
    identity.product = std::move(product);
    identity.serial = std::move(serial);
    return identity;
}

// A HID bus whose notices and hand-overs wait for the test thread.
struct SimulatedHidSetup {
    ManualMainThread main;
    std::shared_ptr<sim::SimulatedHidBus> bus =
        std::make_shared<sim::SimulatedHidBus>(main.Poster());

    std::shared_ptr<sim::SimulatedHidDevice> Plug(sim::SimulatedHidIdentity identity) {
        auto device = std::make_shared<sim::SimulatedHidDevice>(std::move(identity));
        bus->Plug(device);
        return device;
    }
};

} // namespace meterdesk::testing
