#pragma once

#include "link/HidPlatform.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::sim {

// What a simulated HID device shows the system.
struct SimulatedHidIdentity {
    // Who may open it: anyone, only without read and write rights (the
    // permissions of a device node the user may not use), or nobody.
    enum class Access : std::uint8_t { Full, WithoutRights, None };

    link::HidAttributes attributes;
    std::optional<std::u16string> product; // none: the string cannot be read
    std::optional<std::u16string> serial;
    // What indexed string 0 writes; none leaves the caller's buffer as it was.
    std::optional<std::u16string> languages = u"\u0409";
    link::HidCaps caps;
    Access access = Access::Full;
    bool identifiable = true; // its attributes can be read
};

// A HID device that exists only in memory. Tests queue input reports and
// read back the feature reports it got; subclasses (the virtual bridge)
// make up their own reports. Thread-safe: readers read on their threads.
class SimulatedHidDevice {
public:
    explicit SimulatedHidDevice(SimulatedHidIdentity identity);
    virtual ~SimulatedHidDevice() = default;
    SimulatedHidDevice(const SimulatedHidDevice&) = delete;
    SimulatedHidDevice& operator=(const SimulatedHidDevice&) = delete;

    const SimulatedHidIdentity& Identity() const { return identity_; }

    // Queues an input report, report ID first.
    void Send(std::vector<std::uint8_t> report);
    std::size_t QueuedReports() const;
    // The feature reports received, as the system passed them on.
    std::vector<std::vector<std::uint8_t>> FeatureReports() const;
    // Reads fail from now on, as when the cable is pulled.
    void Disconnect();

    // What an open handle does.
    virtual bool SetFeature(const std::uint8_t* report, std::size_t length);
    virtual link::HidReadResult Read(std::uint8_t* buffer, std::size_t length,
                                     std::uint32_t timeoutMs);

protected:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool connected_ = true;

private:
    const SimulatedHidIdentity identity_;
    std::deque<std::vector<std::uint8_t>> reports_;
    std::vector<std::vector<std::uint8_t>> features_;
};

// A HID bus in memory: devices are plugged in and pulled out by code, and
// each change is announced on the main thread like the system's notices.
// Paths start with "sim:".
class SimulatedHidBus final : public link::HidPlatform,
                              public std::enable_shared_from_this<SimulatedHidBus> {
public:
    explicit SimulatedHidBus(link::MainThreadPoster post);

    // Returns the device's identity (its DeviceInstance).
    std::string Plug(std::shared_ptr<SimulatedHidDevice> device);
    void Pull(const std::shared_ptr<SimulatedHidDevice>& device);
    // Whether the bus offers HID services at all.
    void SetAvailable(bool available);

    bool Available() override;
    std::vector<link::HidInterface> ListInterfaces() override;
    link::HidProperties Properties(const std::string& deviceInstance) override;
    link::HidOpenResult Open(const std::string& interfacePath, link::HidAccess access) override;
    void WatchChanges(std::function<void()> changed) override;
    void PostToMainThread(std::function<void()> task) override;
    std::string ErrorText(std::uint32_t code) override;

private:
    struct Slot {
        std::string instance;
        std::string path;
        std::shared_ptr<SimulatedHidDevice> device;
    };
    void Announce();

    link::MainThreadPoster post_;
    mutable std::mutex mutex_;
    std::vector<Slot> plugged_;
    unsigned nextNumber_ = 0;
    bool available_ = true;
    std::function<void()> watcher_; // main thread only
};

// `system`'s devices followed by `simulated`'s, as one platform; the demo
// adds its virtual bridge to the real devices this way.
std::shared_ptr<link::HidPlatform> JoinHidPlatforms(std::shared_ptr<link::HidPlatform> system,
                                                    std::shared_ptr<SimulatedHidBus> simulated);

} // namespace meterdesk::sim
