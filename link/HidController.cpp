#include "link/HidController.h"

#include <algorithm>
#include <utility>

namespace meterdesk::link {

namespace {

// Controllers in this process; only one may exist.
std::atomic<int> instanceCount{0};

} // namespace

TJvHidPnPInfo::TJvHidPnPInfo(HidPlatform& platform, const HidInterface& found)
    : deviceInstance_(found.DeviceInstance), interfacePath_(found.InterfacePath),
      properties_(platform.Properties(found.DeviceInstance)) {}

std::string TJvHidPnPInfo::Property(const std::string& name) const {
    for (const auto& [key, value] : properties_) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

TJvHidDeviceController::TJvHidDeviceController(std::shared_ptr<HidPlatform> platform)
    : platform_(std::move(platform)) {
    if (instanceCount.fetch_add(1) + 1 > 1) {
        instanceCount.fetch_sub(1);
        throw EControllerError("Only one TJvHidDeviceController allowed per program");
    }
    available_ = platform_->Available();
    handOver_ =
        std::make_shared<HidHandOverQueue>([platform = platform_](std::function<void()> task) {
            platform->PostToMainThread(std::move(task));
        });
    for (auto& device : ListDevices()) {
        Devices.push_back(device.release());
    }
    Recount();
    if (available_) {
        platform_->WatchChanges([this] { DeviceChange(); });
    }
}

TJvHidDeviceController::~TJvHidDeviceController() {
    instanceCount.fetch_sub(1);
    OnDeviceChange_ = nullptr;
    OnDeviceUnplug_ = nullptr;
    OnEnumerate_ = nullptr;
    if (available_) {
        platform_->WatchChanges(nullptr);
    }
    const std::vector<TJvHidDevice*> listed = std::move(Devices);
    Devices.clear();
    for (TJvHidDevice* device : listed) {
        device->Controller = nullptr;
        if (device->Lent_) {
            device->Unplug(); // the borrower still holds it
        } else {
            delete device;
        }
    }
}

std::vector<std::unique_ptr<TJvHidDevice>> TJvHidDeviceController::ListDevices() {
    std::vector<std::unique_ptr<TJvHidDevice>> list;
    if (!available_) {
        return list;
    }
    for (const HidInterface& found : platform_->ListInterfaces()) {
        auto info = std::make_shared<const TJvHidPnPInfo>(*platform_, found);
        try {
            list.push_back(std::make_unique<TJvHidDevice>(std::move(info), *this));
        } catch (const EControllerError&) {
            // A device that cannot be opened or identified is left out.
        }
    }
    return list;
}

void TJvHidDeviceController::DeviceChange() {
    // A handler that runs a nested event loop may let another notice in; it
    // rescans once the running rescan is done instead of inside it.
    if (changing_) {
        rescanAgain_ = true;
        return;
    }
    changing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{changing_};
    do {
        rescanAgain_ = false;
        Rescan();
    } while (rescanAgain_);
}

void TJvHidDeviceController::Rescan() {
    bool changed = false;
    auto fresh = ListDevices();
    const auto inFresh = [&fresh](const TJvHidDevice& device) {
        return std::any_of(fresh.begin(), fresh.end(), [&device](const auto& entry) {
            return entry->PnPInfo().DeviceInstance() == device.PnPInfo().DeviceInstance();
        });
    };

    // Removals, last to first. A handler may give devices back, so each step
    // looks the list up again.
    for (std::size_t i = Devices.size(); i-- > 0;) {
        if (i >= Devices.size()) {
            continue;
        }
        TJvHidDevice* device = Devices[i];
        if (device->Present_ && inFresh(*device)) {
            continue;
        }
        device->Unplug();
        if (OnRemoval_) {
            device->InHandler_ = true;
            OnRemoval_(*device);
            device->InHandler_ = false;
        }
        if (!device->Lent_) {
            const auto slot = std::find(Devices.begin(), Devices.end(), device);
            if (slot != Devices.end()) {
                Devices.erase(slot);
                delete device;
            }
        }
        changed = true;
    }

    // Devices already listed come back from the listing as duplicates.
    std::erase_if(fresh, [this](std::unique_ptr<TJvHidDevice>& entry) {
        const bool listed = std::any_of(Devices.begin(), Devices.end(), [&entry](auto* device) {
            return device->Present_ &&
                   device->PnPInfo().DeviceInstance() == entry->PnPInfo().DeviceInstance();
        });
        if (listed) {
            entry->Controller = nullptr;
        }
        return listed;
    });

    for (auto& entry : fresh) {
        TJvHidDevice* device = entry.release();
        Devices.push_back(device);
        changed = true;
        if (OnArrival_) {
            device->InHandler_ = true;
            OnArrival_(*device);
            device->InHandler_ = false;
        }
    }

    Recount();
    if ((changed || !ChangeAnnounced) && OnDeviceChange_) {
        OnDeviceChange_(*this);
    }
}

void TJvHidDeviceController::Recount() {
    std::int32_t lent = 0;
    FreeCount_ = 0;
    UnpluggedCount_ = 0;
    for (const TJvHidDevice* device : Devices) {
        if (device->Lent_) {
            ++lent;
        } else {
            ++FreeCount_;
        }
        if (!device->Present_) {
            ++UnpluggedCount_;
        }
    }
    LentCount_ = lent - UnpluggedCount_;
}

std::int32_t TJvHidDeviceController::EnumerateDevices() {
    std::int32_t count = 0;
    for (std::size_t i = 0; i < Devices.size(); ++i) {
        TJvHidDevice* device = Devices[i];
        if (!device->Present_) {
            continue;
        }
        ++count;
        bool goOn = false;
        if (OnEnumerate_) {
            device->InHandler_ = true;
            goOn = OnEnumerate_(*device, static_cast<std::int32_t>(i));
            device->InHandler_ = false;
        }
        if (!device->Lent_) {
            device->CloseShared();
            device->CloseReading();
        }
        if (!goOn) {
            break;
        }
    }
    return count;
}

std::unique_ptr<TJvHidDevice> TJvHidDeviceController::LendDevice(std::int32_t index) {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    TJvHidDevice* device = Devices[static_cast<std::size_t>(index)];
    if (device->Lent_) {
        return nullptr;
    }
    device->Lent_ = true;
    Recount();
    device->StartReader();
    return std::unique_ptr<TJvHidDevice>(device);
}

const TJvHidDevice* TJvHidDeviceController::DeviceAt(std::int32_t index) const {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return Devices[static_cast<std::size_t>(index)];
}

void TJvHidDeviceController::TakeBack(TJvHidDevice& device, const TJvHidDataEvent& dataHandler,
                                      const TJvHidPlugEvent& unplugHandler) noexcept {
    const auto slot = std::find(Devices.begin(), Devices.end(), &device);
    if (slot == Devices.end()) {
        return;
    }
    if (device.Present_) {
        try {
            auto fresh = std::make_unique<TJvHidDevice>(device.PlugInfo, *this);
            fresh->SetDataHandler(dataHandler);
            fresh->SetUnplugHandler(unplugHandler);
            fresh->SetReaderSleep(device.ReaderSleep_);
            *slot = fresh.release();
        } catch (...) {
            // Gone between the last rescan and now: the next rescan would
            // drop it anyway, so its slot goes at once.
            Devices.erase(slot);
        }
    } else {
        Devices.erase(slot);
    }
    Recount();
}

void TJvHidDeviceController::SetOnDeviceChange(TNotifyEvent handler) {
    if (handler == OnDeviceChange_) {
        return;
    }
    OnDeviceChange_ = handler;
    DeviceChange();
    ChangeAnnounced = true;
}

void TJvHidDeviceController::SetOnDeviceData(TJvHidDataEvent handler) {
    if (handler == OnDeviceData_) {
        return;
    }
    for (TJvHidDevice* device : Devices) {
        if (device->DataHandler_ == OnDeviceData_) {
            device->SetDataHandler(handler);
        }
    }
    OnDeviceData_ = handler;
}

template <typename Handler>
void TJvHidDeviceController::PassOnHandler(Handler TJvHidDevice::*field, Handler& current,
                                           const Handler& handler) {
    if (handler == current) {
        return;
    }
    for (TJvHidDevice* device : Devices) {
        if (device->*field == current) {
            device->*field = handler;
        }
    }
    current = handler;
}

void TJvHidDeviceController::SetOnDeviceDataError(TJvHidDataErrorEvent handler) {
    PassOnHandler(&TJvHidDevice::DataErrorHandler_, OnDeviceDataError_, handler);
}

void TJvHidDeviceController::SetOnDeviceUnplug(TJvHidPlugEvent handler) {
    PassOnHandler(&TJvHidDevice::UnplugHandler_, OnDeviceUnplug_, handler);
}

void TJvHidDeviceController::SetDevThreadSleepTime(std::int32_t value) {
    if (value == DevThreadSleepTime_) {
        return;
    }
    for (TJvHidDevice* device : Devices) {
        if (device->ReaderSleep_ == DevThreadSleepTime_) {
            device->SetReaderSleep(value);
        }
    }
    DevThreadSleepTime_ = value;
}

} // namespace meterdesk::link
