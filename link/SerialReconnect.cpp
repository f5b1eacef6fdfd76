#include "link/SerialReconnect.h"

#include <filesystem>
#include <system_error>

namespace meterdesk::link {

namespace fs = std::filesystem;

std::string FindSerialById(const std::string& devicePath, const std::string& devRoot) {
    std::error_code error;
    const fs::path byId = fs::path(devRoot) / "serial" / "by-id";
    const fs::path device = fs::canonical(devicePath, error);
    if (error) {
        return {};
    }
    if (fs::path(devicePath).parent_path() == byId) {
        return devicePath; // the user named the port by it
    }
    for (fs::directory_iterator entry(byId, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code unresolved;
        if (fs::canonical(entry->path(), unresolved) == device && !unresolved) {
            return entry->path().string();
        }
    }
    return {};
}

std::string ReturnedDevicePath(const std::string& devicePath, const std::string& byIdName) {
    std::error_code error;
    if (byIdName.empty()) {
        return fs::exists(devicePath, error) ? devicePath : std::string();
    }
    if (!fs::exists(byIdName, error)) {
        return {};
    }
    if (byIdName == devicePath) {
        return devicePath;
    }
    // One step down the link, so that the port is shown as the tty it is.
    const fs::path target = fs::read_symlink(byIdName, error);
    if (error) {
        return byIdName;
    }
    return (fs::path(byIdName).parent_path() / target).lexically_normal().string();
}

SerialReconnect::SerialReconnect(TCommPortDriver& driver, std::unique_ptr<PollTimer> timer,
                                 std::string devRoot)
    : driver_(driver), timer_(std::move(timer)), devRoot_(std::move(devRoot)) {}

void SerialReconnect::Watch() {
    if (waiting_) {
        timer_->Stop();
        waiting_ = false;
    }
    watching_ = true;
    devicePath_ = driver_.DevicePath();
    byIdName_ = FindSerialById(devicePath_, devRoot_);
}

void SerialReconnect::Stop() {
    if (waiting_) {
        timer_->Stop();
        waiting_ = false;
    }
    watching_ = false;
}

void SerialReconnect::PortVanished() {
    if (!watching_ || waiting_) {
        return;
    }
    waiting_ = true;
    timer_->Start(kRetryMs, [this] { Retry(); });
    if (OnLost) {
        OnLost();
    }
}

void SerialReconnect::Retry() {
    const std::string path = ReturnedDevicePath(devicePath_, byIdName_);
    // Back but not yet usable (udev still setting its permissions): the
    // next retry tries again.
    if (path.empty() || !driver_.OpenPortAt(path)) {
        return;
    }
    timer_->Stop();
    waiting_ = false;
    devicePath_ = path;
    if (OnBack) {
        OnBack();
    }
}

} // namespace meterdesk::link
