#include "link/platform/LinuxHid.h"

#include "link/HidReportDescriptor.h"
#include "link/HidText.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <fstream>
#include <hidapi.h>
#include <iterator>
#include <libudev.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace meterdesk::link {

namespace {

struct UdevDeviceUnref {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevDevice = std::unique_ptr<udev_device, UdevDeviceUnref>;

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

// What sysfs tells about a hidraw node. Attributes and strings come from
// here, without USB traffic and without rights on the node itself.
struct HidrawInfo {
    HidAttributes attributes;
    bool identified = false;
    std::optional<std::u16string> product;
    std::optional<std::u16string> serial;
    std::optional<HidReportLayout> layout;
};

std::optional<HidReportLayout> ReadLayout(const std::string& syspath) {
    std::ifstream file(syspath + "/device/report_descriptor", std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    return ParseReportDescriptor(bytes);
}

std::optional<HidrawInfo> ReadHidrawInfo(udev* context, const std::string& devnode,
                                         std::uint32_t& error) {
    struct stat node {};
    if (::stat(devnode.c_str(), &node) != 0) {
        error = static_cast<std::uint32_t>(errno);
        return std::nullopt;
    }
    const UdevDevice raw(
        S_ISCHR(node.st_mode) ? udev_device_new_from_devnum(context, 'c', node.st_rdev) : nullptr);
    if (!raw) {
        error = ENODEV;
        return std::nullopt;
    }
    HidrawInfo info;
    // The parents belong to `raw`.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(raw.get(), "hid", nullptr);
    if (hid != nullptr) {
        unsigned bus = 0;
        unsigned vendor = 0;
        unsigned product = 0;
        const std::string id = Text(udev_device_get_property_value(hid, "HID_ID"));
        if (std::sscanf(id.c_str(), "%x:%x:%x", &bus, &vendor, &product) == 3) {
            info.attributes.VendorID = static_cast<std::uint16_t>(vendor);
            info.attributes.ProductID = static_cast<std::uint16_t>(product);
            info.identified = true;
        }
    }
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(raw.get(), "usb", "usb_device");
    const auto wide = [](const char* text) -> std::optional<std::u16string> {
        if (text == nullptr || *text == '\0') {
            return std::nullopt;
        }
        return WidenText(text);
    };
    if (usb != nullptr) {
        info.product = wide(udev_device_get_sysattr_value(usb, "product"));
        info.serial = wide(udev_device_get_sysattr_value(usb, "serial"));
        const std::string release = Text(udev_device_get_sysattr_value(usb, "bcdDevice"));
        unsigned version = 0;
        if (std::sscanf(release.c_str(), "%x", &version) == 1) {
            info.attributes.VersionNumber = static_cast<std::uint16_t>(version);
        }
    } else if (hid != nullptr) {
        // Bluetooth and I2C devices name themselves in the HID properties.
        info.product = wide(udev_device_get_property_value(hid, "HID_NAME"));
        info.serial = wide(udev_device_get_property_value(hid, "HID_UNIQ"));
    }
    info.layout = ReadLayout(Text(udev_device_get_syspath(raw.get())));
    return info;
}

bool WriteString(const std::optional<std::u16string>& text, char16_t* buffer, std::size_t bytes) {
    if (!text) {
        return false;
    }
    const std::size_t units = bytes / sizeof(char16_t);
    const std::size_t n = std::min(text->size(), units);
    std::copy_n(text->begin(), n, buffer);
    if (n < units) {
        buffer[n] = u'\0';
    }
    return true;
}

// An open hidraw node. Without a hidapi device it serves only the requests
// sysfs answers (a handle opened without rights).
class LinuxHidHandle final : public HidHandle {
public:
    LinuxHidHandle(HidrawInfo info, hid_device* device) : info_(std::move(info)), device_(device) {}
    ~LinuxHidHandle() override {
        if (device_ != nullptr) {
            hid_close(device_);
        }
    }
    LinuxHidHandle(const LinuxHidHandle&) = delete;
    LinuxHidHandle& operator=(const LinuxHidHandle&) = delete;

    bool GetAttributes(HidAttributes& attributes) override {
        attributes = info_.attributes;
        return info_.identified;
    }
    bool GetProductString(char16_t* buffer, std::size_t bytes) override {
        return WriteString(info_.product, buffer, bytes);
    }
    bool GetSerialNumberString(char16_t* buffer, std::size_t bytes) override {
        return WriteString(info_.serial, buffer, bytes);
    }
    bool GetIndexedString(std::uint32_t index, char16_t* buffer, std::size_t bytes) override {
        // hidraw cannot ask for string descriptors; the strings sysfs gives
        // are in US English.
        return index == 0 && WriteString(std::u16string(u"\u0409"), buffer, bytes);
    }
    bool GetCaps(HidCaps& caps) override {
        if (!info_.layout) {
            return false;
        }
        caps = info_.layout->caps;
        return true;
    }
    bool GetNumInputBuffers(std::uint32_t& count) override {
        count = 64; // each open hidraw file queues this many reports
        return true;
    }
    bool SetNumInputBuffers(std::uint32_t /*count*/) override { return false; }

    bool SetFeature(const std::uint8_t* report, std::size_t length) override {
        if (device_ == nullptr) {
            return false;
        }
        // hidraw sends what it is given; the device expects the length its
        // descriptor declares.
        std::vector<std::uint8_t> bytes(report, report + length);
        if (info_.layout && info_.layout->caps.FeatureReportByteLength != 0) {
            bytes.resize(info_.layout->caps.FeatureReportByteLength, 0);
        }
        return hid_send_feature_report(device_, bytes.data(), bytes.size()) >= 0;
    }

    HidReadResult Read(std::uint8_t* buffer, std::size_t length, std::uint32_t timeoutMs) override {
        if (device_ == nullptr || length == 0) {
            return {HidReadStatus::Failed, 0, EBADF};
        }
        // Unnumbered reports come without an ID byte; the controller expects
        // one, so 0 goes first.
        const bool numbered = info_.layout && info_.layout->numbered;
        std::uint8_t* into = numbered ? buffer : buffer + 1;
        const std::size_t room = numbered ? length : length - 1;
        errno = 0;
        const int n = room == 0
                          ? 0
                          : hid_read_timeout(
                                device_, into, room,
                                static_cast<int>(std::min<std::uint32_t>(timeoutMs, 0x7FFFFFFF)));
        if (n < 0) {
            return {HidReadStatus::Failed, 0, static_cast<std::uint32_t>(errno != 0 ? errno : EIO)};
        }
        if (n == 0) {
            return {HidReadStatus::TimedOut, 0, 0};
        }
        if (!numbered) {
            buffer[0] = 0;
        }
        return {HidReadStatus::Report, static_cast<std::size_t>(n) + (numbered ? 0 : 1), 0};
    }

private:
    HidrawInfo info_;
    hid_device* device_;
};

class LinuxHidPlatform final : public HidPlatform {
public:
    LinuxHidPlatform() : udev_(udev_new()), hidReady_(hid_init() == 0) {}
    ~LinuxHidPlatform() override {
        StopWatching();
        if (udev_ != nullptr) {
            udev_unref(udev_);
        }
    }
    LinuxHidPlatform(const LinuxHidPlatform&) = delete;
    LinuxHidPlatform& operator=(const LinuxHidPlatform&) = delete;

    bool Available() override { return udev_ != nullptr && hidReady_; }

    std::vector<HidInterface> ListInterfaces() override {
        std::lock_guard lock(udevMutex_);
        std::vector<HidInterface> list;
        udev_enumerate* enumerate = udev_enumerate_new(udev_);
        if (enumerate == nullptr) {
            return list;
        }
        udev_enumerate_add_match_subsystem(enumerate, "hidraw");
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
            const std::string syspath = Text(udev_list_entry_get_name(entry));
            const UdevDevice device(udev_device_new_from_syspath(udev_, syspath.c_str()));
            const char* node = device ? udev_device_get_devnode(device.get()) : nullptr;
            if (node != nullptr) {
                list.push_back({syspath, node});
            }
        }
        udev_enumerate_unref(enumerate);
        return list;
    }

    HidProperties Properties(const std::string& deviceInstance) override {
        std::lock_guard lock(udevMutex_);
        HidProperties properties;
        const UdevDevice device(udev_device_new_from_syspath(udev_, deviceInstance.c_str()));
        if (!device) {
            return properties;
        }
        const auto collect = [&properties](udev_device* from) {
            udev_list_entry* entry = nullptr;
            udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(from)) {
                properties.emplace_back(Text(udev_list_entry_get_name(entry)),
                                        Text(udev_list_entry_get_value(entry)));
            }
        };
        collect(device.get());
        if (udev_device* hid =
                udev_device_get_parent_with_subsystem_devtype(device.get(), "hid", nullptr)) {
            collect(hid);
        }
        return properties;
    }

    HidOpenResult Open(const std::string& interfacePath, HidAccess access) override {
        std::uint32_t error = 0;
        std::optional<HidrawInfo> info;
        {
            std::lock_guard lock(udevMutex_);
            info = ReadHidrawInfo(udev_, interfacePath, error);
        }
        if (!info) {
            return {nullptr, error};
        }
        if (access == HidAccess::NoAccess) {
            return {std::make_unique<LinuxHidHandle>(std::move(*info), nullptr), 0};
        }
        // Each open file has its own report queue, so the reader's handle and
        // the one for control requests never share one.
        errno = 0;
        hid_device* device = hid_open_path(interfacePath.c_str());
        if (device == nullptr) {
            return {nullptr, static_cast<std::uint32_t>(errno != 0 ? errno : EACCES)};
        }
        return {std::make_unique<LinuxHidHandle>(std::move(*info), device), 0};
    }

    void WatchChanges(std::function<void()> changed) override {
        changed_ = std::move(changed);
        if (!changed_) {
            StopWatching();
            return;
        }
        if (monitor_ != nullptr || udev_ == nullptr) {
            return;
        }
        // Only "udev" events: by then the rules have given the node its
        // permissions.
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (monitor_ == nullptr) {
            return;
        }
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr);
        udev_monitor_enable_receiving(monitor_);
        notifier_ =
            std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { Drain(); });
    }

    void PostToMainThread(std::function<void()> task) override { post_(std::move(task)); }

    std::string ErrorText(std::uint32_t code) override {
        return std::generic_category().message(static_cast<int>(code));
    }

private:
    // One notice for however many events a plug-in brings.
    void Drain() {
        bool any = false;
        while (udev_device* event = udev_monitor_receive_device(monitor_)) {
            udev_device_unref(event);
            any = true;
        }
        if (any && changed_) {
            changed_();
        }
    }

    void StopWatching() {
        notifier_.reset();
        if (monitor_ != nullptr) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
        }
    }

    udev* udev_;
    bool hidReady_;
    std::mutex udevMutex_;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> changed_;
    MainThreadPoster post_ = QtMainThreadPoster();
};

} // namespace

MainThreadPoster QtMainThreadPoster() {
    return [](std::function<void()> task) {
        QCoreApplication* application = QCoreApplication::instance();
        if (application == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
            application,
            [task = std::move(task)] {
                // Nothing may escape into the event loop.
                try {
                    task();
                } catch (const std::exception& error) {
                    qCritical("meterdesk: %s", error.what());
                }
            },
            Qt::QueuedConnection);
    };
}

std::shared_ptr<HidPlatform> MakeLinuxHidPlatform() {
    return std::make_shared<LinuxHidPlatform>();
}

} // namespace meterdesk::link
