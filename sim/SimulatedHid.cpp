#include "sim/SimulatedHid.h"

#include "link/HidText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <utility>

namespace meterdesk::sim {

namespace {

constexpr std::string_view kPrefix = "sim:";

bool WriteString(const std::u16string& text, char16_t* buffer, std::size_t bytes) {
    const std::size_t units = bytes / sizeof(char16_t);
    const std::size_t n = std::min(text.size(), units);
    std::copy_n(text.begin(), n, buffer);
    if (n < units) {
        buffer[n] = u'\0';
    }
    return true;
}

// An open handle on a simulated device, with the rights it was opened with.
class SimulatedHidHandle final : public link::HidHandle {
public:
    SimulatedHidHandle(std::shared_ptr<SimulatedHidDevice> device, link::HidAccess access)
        : device_(std::move(device)), access_(access) {}

    bool GetAttributes(link::HidAttributes& attributes) override {
        if (!Identity().identifiable) {
            return false;
        }
        attributes = Identity().attributes;
        return true;
    }
    bool GetProductString(char16_t* buffer, std::size_t bytes) override {
        return Identity().product && WriteString(*Identity().product, buffer, bytes);
    }
    bool GetSerialNumberString(char16_t* buffer, std::size_t bytes) override {
        return Identity().serial && WriteString(*Identity().serial, buffer, bytes);
    }
    bool GetIndexedString(std::uint32_t index, char16_t* buffer, std::size_t bytes) override {
        return index == 0 && Identity().languages &&
               WriteString(*Identity().languages, buffer, bytes);
    }
    bool GetCaps(link::HidCaps& caps) override {
        caps = Identity().caps;
        return true;
    }
    bool GetNumInputBuffers(std::uint32_t& count) override {
        count = inputBuffers_;
        return true;
    }
    bool SetNumInputBuffers(std::uint32_t count) override {
        inputBuffers_ = count;
        return true;
    }
    bool SetFeature(const std::uint8_t* report, std::size_t length) override {
        if (access_ == link::HidAccess::NoAccess) {
            return false;
        }
        // As the system does: the report goes out at the length the device
        // declares.
        std::vector<std::uint8_t> bytes(report, report + length);
        if (const std::size_t declared = Identity().caps.FeatureReportByteLength; declared != 0) {
            bytes.resize(declared, 0);
        }
        return device_->SetFeature(bytes.data(), bytes.size());
    }
    link::HidReadResult Read(std::uint8_t* buffer, std::size_t length,
                             std::uint32_t timeoutMs) override {
        if (access_ == link::HidAccess::NoAccess) {
            return {link::HidReadStatus::Failed, 0, EBADF};
        }
        return device_->Read(buffer, length, timeoutMs);
    }

private:
    const SimulatedHidIdentity& Identity() const { return device_->Identity(); }

    std::shared_ptr<SimulatedHidDevice> device_;
    link::HidAccess access_;
    std::uint32_t inputBuffers_ = 32;
};

bool Simulated(const std::string& text) {
    return text.starts_with(kPrefix);
}

// The system's devices, then the simulated ones.
class JoinedHidPlatform final : public link::HidPlatform {
public:
    JoinedHidPlatform(std::shared_ptr<link::HidPlatform> system,
                      std::shared_ptr<SimulatedHidBus> simulated)
        : system_(std::move(system)), simulated_(std::move(simulated)),
          systemAvailable_(system_->Available()) {}

    bool Available() override { return true; }
    std::vector<link::HidInterface> ListInterfaces() override {
        std::vector<link::HidInterface> list;
        if (systemAvailable_) {
            list = system_->ListInterfaces();
        }
        for (auto& found : simulated_->ListInterfaces()) {
            list.push_back(std::move(found));
        }
        return list;
    }
    link::HidProperties Properties(const std::string& deviceInstance) override {
        return Simulated(deviceInstance) ? simulated_->Properties(deviceInstance)
                                         : system_->Properties(deviceInstance);
    }
    link::HidOpenResult Open(const std::string& path, link::HidAccess access) override {
        return Simulated(path) ? simulated_->Open(path, access) : system_->Open(path, access);
    }
    void WatchChanges(std::function<void()> changed) override {
        if (systemAvailable_) {
            system_->WatchChanges(changed);
        }
        simulated_->WatchChanges(std::move(changed));
    }
    void PostToMainThread(std::function<void()> task) override {
        system_->PostToMainThread(std::move(task));
    }
    std::string ErrorText(std::uint32_t code) override { return system_->ErrorText(code); }

private:
    std::shared_ptr<link::HidPlatform> system_;
    std::shared_ptr<SimulatedHidBus> simulated_;
    bool systemAvailable_;
};

} // namespace

SimulatedHidDevice::SimulatedHidDevice(SimulatedHidIdentity identity)
    : identity_(std::move(identity)) {}

void SimulatedHidDevice::Send(std::vector<std::uint8_t> report) {
    {
        std::lock_guard lock(mutex_);
        reports_.push_back(std::move(report));
    }
    changed_.notify_all();
}

std::size_t SimulatedHidDevice::QueuedReports() const {
    std::lock_guard lock(mutex_);
    return reports_.size();
}

std::vector<std::vector<std::uint8_t>> SimulatedHidDevice::FeatureReports() const {
    std::lock_guard lock(mutex_);
    return features_;
}

void SimulatedHidDevice::Disconnect() {
    {
        std::lock_guard lock(mutex_);
        connected_ = false;
    }
    changed_.notify_all();
}

bool SimulatedHidDevice::SetFeature(const std::uint8_t* report, std::size_t length) {
    std::lock_guard lock(mutex_);
    if (!connected_) {
        return false;
    }
    features_.emplace_back(report, report + length);
    return true;
}

link::HidReadResult SimulatedHidDevice::Read(std::uint8_t* buffer, std::size_t length,
                                             std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [this] { return !connected_ || !reports_.empty(); });
    if (!connected_) {
        return {link::HidReadStatus::Failed, 0, ENODEV};
    }
    if (reports_.empty()) {
        return {link::HidReadStatus::TimedOut, 0, 0};
    }
    const std::vector<std::uint8_t> report = std::move(reports_.front());
    reports_.pop_front();
    const std::size_t n = std::min(length, report.size());
    std::copy_n(report.begin(), n, buffer);
    return {link::HidReadStatus::Report, n, 0};
}

SimulatedHidBus::SimulatedHidBus(link::MainThreadPoster post) : post_(std::move(post)) {}

std::string SimulatedHidBus::Plug(std::shared_ptr<SimulatedHidDevice> device) {
    std::string instance;
    {
        std::lock_guard lock(mutex_);
        const std::string name = "hidraw" + std::to_string(nextNumber_++);
        instance = std::string(kPrefix) + "/devices/virtual/hidraw/" + name;
        plugged_.push_back({instance, std::string(kPrefix) + name, std::move(device)});
    }
    Announce();
    return instance;
}

void SimulatedHidBus::Pull(const std::shared_ptr<SimulatedHidDevice>& device) {
    {
        std::lock_guard lock(mutex_);
        std::erase_if(plugged_, [&device](const Slot& slot) { return slot.device == device; });
    }
    device->Disconnect();
    Announce();
}

void SimulatedHidBus::SetAvailable(bool available) {
    std::lock_guard lock(mutex_);
    available_ = available;
}

void SimulatedHidBus::Announce() {
    if (!post_) {
        return;
    }
    post_([weak = weak_from_this()] {
        if (const auto bus = weak.lock()) {
            const std::function<void()> watcher = bus->watcher_;
            if (watcher) {
                watcher();
            }
        }
    });
}

bool SimulatedHidBus::Available() {
    std::lock_guard lock(mutex_);
    return available_;
}

std::vector<link::HidInterface> SimulatedHidBus::ListInterfaces() {
    std::lock_guard lock(mutex_);
    std::vector<link::HidInterface> list;
    for (const Slot& slot : plugged_) {
        list.push_back({slot.instance, slot.path});
    }
    return list;
}

link::HidProperties SimulatedHidBus::Properties(const std::string& deviceInstance) {
    std::lock_guard lock(mutex_);
    for (const Slot& slot : plugged_) {
        if (slot.instance == deviceInstance) {
            const SimulatedHidIdentity& identity = slot.device->Identity();
            char id[32];
            std::snprintf(id, sizeof id, "0003:%08X:%08X", identity.attributes.VendorID,
                          identity.attributes.ProductID);
            return {{"DEVNAME", slot.path},
                    {"HID_ID", id},
                    {"HID_NAME", link::NarrowText(identity.product.value_or(u""))}};
        }
    }
    return {};
}

link::HidOpenResult SimulatedHidBus::Open(const std::string& interfacePath,
                                          link::HidAccess access) {
    std::lock_guard lock(mutex_);
    const auto slot = std::find_if(plugged_.begin(), plugged_.end(),
                                   [&](const Slot& s) { return s.path == interfacePath; });
    if (slot == plugged_.end()) {
        return {nullptr, ENOENT};
    }
    using Access = SimulatedHidIdentity::Access;
    const Access allowed = slot->device->Identity().access;
    if (allowed == Access::None ||
        (allowed == Access::WithoutRights && access != link::HidAccess::NoAccess)) {
        return {nullptr, EACCES};
    }
    return {std::make_unique<SimulatedHidHandle>(slot->device, access), 0};
}

void SimulatedHidBus::WatchChanges(std::function<void()> changed) {
    watcher_ = std::move(changed);
}

void SimulatedHidBus::PostToMainThread(std::function<void()> task) {
    post_(std::move(task));
}

std::string SimulatedHidBus::ErrorText(std::uint32_t code) {
    return std::generic_category().message(static_cast<int>(code));
}

std::shared_ptr<link::HidPlatform> JoinHidPlatforms(std::shared_ptr<link::HidPlatform> system,
                                                    std::shared_ptr<SimulatedHidBus> simulated) {
    return std::make_shared<JoinedHidPlatform>(std::move(system), std::move(simulated));
}

} // namespace meterdesk::sim
