#pragma once

#include "base/MeasurementState.h"
#include "base/ModelProfile.h"
#include "link/HidController.h"
#include "link/PortDoctor.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::link {

// What the USB link needs of the window: the device list with its
// selection, the report history, the "USB Connect" and "Read" toggles, and
// information boxes.
class UsbLinkView {
public:
    virtual ~UsbLinkView() = default;
    virtual void ClearDeviceLines() = 0;
    virtual void AddDeviceLine(const std::string& text) = 0;
    // The selected line, -1 for none.
    virtual int SelectedDeviceLine() const = 0;
    virtual void SelectDeviceLine(int line) = 0;
    // Appends a line to the history and selects it.
    virtual void AddHistoryLine(const std::string& text) = 0;
    virtual void ClearHistory() = 0;
    virtual bool UsbConDown() const = 0;
    virtual void SetUsbConUp() = 0;
    virtual bool ReadBtnDown() const = 0;
    virtual void SetReadBtnUp() = 0;
    // A modal information box with an OK button; returns once it is closed.
    virtual void ShowInformation(const std::string& text) = 0;
    // The running link broke off: its bridge went away and is waited for
    // (`waiting`), or the break is over, the reader restarted after a
    // rescan or the wait stopped by the user. `text` says which, empty when
    // the bridge never left (another device came or went). Either way the
    // frame in progress is to be dropped.
    virtual void LinkBreak(bool waiting, const std::string& text) = 0;
};

// The report handlers of frame assembly that the link binds to the bridge.
struct BridgeReportHandlers {
    link::TJvHidDataEvent HidHeronRData;
    link::TJvHidDataEvent HidPipitRData;
};

inline constexpr const char* kBridgeProduct = "USB to Serial";
inline constexpr const char* kCableNotConnected =
    "USB interface cable is not securely connected, please check and re-try.";
inline constexpr const char* kMeterSilent =
    "USB interface cable is securely connected, please check if the meter is ready.";
inline constexpr const char* kBridgeLost =
    "The USB interface cable has gone away. Waiting for it to come back.";
inline constexpr const char* kBridgeBack = "The USB interface cable is back; logging goes on.";
inline constexpr const char* kBridgeNoLongerAwaited =
    "Stopped waiting for the USB interface cable.";
// Reports without data in a row after which the watch calls the meter silent.
inline constexpr std::int32_t kSilentReports = 1900;

// The text a device is listed by: its product text or its numbers, and its
// serial text when it has one.
std::string DeviceCaption(link::TJvHidDevice& HidDev);

// The 10-byte feature report that sets up the bridge's serial side for the
// checked profile flags.
std::array<std::uint8_t, 10> BridgeSetupReport(const base::ModelProfile& profile);

// What the user is told when the bridge is there but may not be read, and
// what the doctor (when there is one) finds in the way.
std::string DescribeBridgeWithoutAccess(const link::TJvHidDevice& device,
                                        const PortDoctor* doctor = nullptr);

// What the "Info" button shows for a device.
std::string DescribeDevice(link::TJvHidDevice& device);

// The window's USB link: keeps the device list (one lent device per line),
// picks the bridge, sets it up, binds the profile's report handler, and
// stops the link when the meter stays silent. Everything on the main thread.
class UsbConnection {
public:
    UsbConnection(link::TJvHidDeviceController& controller, UsbLinkView& view,
                  base::MeasurementState& state, const base::ModelProfile& profile,
                  BridgeReportHandlers handlers, std::optional<PortDoctor> doctor = std::nullopt);
    ~UsbConnection();
    UsbConnection(const UsbConnection&) = delete;
    UsbConnection& operator=(const UsbConnection&) = delete;

    // The controller's handlers.
    void DeviceChange();
    bool Enumerate(link::TJvHidDevice& HidDev, std::int32_t Idx);
    void Arrival(link::TJvHidDevice& HidDev);
    void Removal(link::TJvHidDevice& HidDev);
    void DataError(link::TJvHidDevice& HidDev, std::uint32_t Error);

    // The buttons' click actions.
    void USBConClick();
    void SetFeatureClick();
    void ReadBtnClick();
    void ClearBtnClick();
    void InfoBtnClick();

    // The link watch's third tick without a decoded frame.
    void WatchSilentMeter();
    // Stops every reader; the window calls it before it goes away.
    void StopReading();

    link::TJvHidDevice* CurrentDevice() const { return CurrentDevice_; }
    // The device object of a line; none when lending it failed.
    link::TJvHidDevice* LineDevice(int line) const;
    int LineCount() const { return static_cast<int>(lines_.size()); }

private:
    struct Line {
        std::string text;
        std::unique_ptr<link::TJvHidDevice> device;
    };
    // Points CurrentDevice at the selected line's device; false when there
    // is no line or none is selected.
    bool TakeSelectedDevice();
    // Binds the profile's report handler to the current device.
    void BindProfileHandler();
    // After a rescan: the link the user did not stop goes on, or waits.
    void ResumeLink();

    link::TJvHidDeviceController& controller_;
    UsbLinkView& view_;
    base::MeasurementState& state_;
    const base::ModelProfile& profile_;
    BridgeReportHandlers handlers_;
    std::optional<PortDoctor> doctor_;
    std::vector<Line> lines_;
    link::TJvHidDevice* CurrentDevice_ = nullptr;
    bool linkUp_ = false;  // "USB Connect" started the link and nothing stopped it
    bool waiting_ = false; // its bridge is away
};

} // namespace meterdesk::link
