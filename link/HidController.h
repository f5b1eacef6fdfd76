#pragma once

#include "link/BoundHandler.h"
#include "link/HidHandOver.h"
#include "link/HidPlatform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace meterdesk::link {

class TJvHidDevice;
class TJvHidDeviceController;

// The only error the HID layer raises: a second controller, or a device that
// cannot be opened or identified while it is being built.
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TJvHidEnumerateEvent = BoundHandler<bool(TJvHidDevice& HidDev, std::int32_t Idx)>;
using TJvHidPlugEvent = BoundHandler<void(TJvHidDevice& HidDev)>;
// Data: the report after its ID byte; valid only during the call.
using TJvHidDataEvent = BoundHandler<void(TJvHidDevice& HidDev, std::uint8_t ReportID,
                                          const std::uint8_t* Data, std::uint16_t Size)>;
using TJvHidDataErrorEvent = BoundHandler<void(TJvHidDevice& HidDev, std::uint32_t Error)>;
using TNotifyEvent = BoundHandler<void(TJvHidDeviceController& Sender)>;

// The plug-and-play description of one device: its identity, the path it is
// opened by, and the properties the system gives for it.
class TJvHidPnPInfo {
public:
    TJvHidPnPInfo(HidPlatform& platform, const HidInterface& found);

    const std::string& DeviceInstance() const { return deviceInstance_; }
    const std::string& InterfacePath() const { return interfacePath_; }
    const HidProperties& Properties() const { return properties_; }
    // The value of a property; empty when the device has none of that name.
    std::string Property(const std::string& name) const;

private:
    std::string deviceInstance_;
    std::string interfacePath_;
    HidProperties properties_;
};

// The reader of one lent device: reads input reports with timed reads and
// hands each to the main thread, waiting until the data handler returned.
class TJvHidDeviceReadThread {
public:
    TJvHidDeviceReadThread(TJvHidDevice& device, std::size_t reportLength);
    ~TJvHidDeviceReadThread();
    TJvHidDeviceReadThread(const TJvHidDeviceReadThread&) = delete;
    TJvHidDeviceReadThread& operator=(const TJvHidDeviceReadThread&) = delete;

    void Start();
    // Asks the thread to end; it does within one wait slice.
    void Terminate();
    // Main thread: runs the hand-overs the thread queues until it has ended.
    void WaitFor();
    // Waits for a thread that was asked to end and is not in a hand-over.
    void Join();

private:
    void Execute();
    HidReadResult ReadPaced(HidHandle& handle, std::uint32_t sliceMs);
    bool Pause(std::uint32_t sliceMs); // false when asked to end
    void DeliverReport();
    void DeliverError();

    TJvHidDevice& device_;
    std::shared_ptr<HidHandOverQueue> handOver_;
    std::vector<std::uint8_t> ReportBuffer;
    std::uint32_t BytesRead = 0;
    std::uint32_t LastError = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseWake_;
    std::thread thread_;
};

// One HID device. The controller owns it until it is lent; the borrower gives
// it back by destroying it.
class TJvHidDevice {
public:
    // Opens the device to learn who it is; throws EControllerError when it
    // cannot be opened at all or not identified.
    TJvHidDevice(std::shared_ptr<const TJvHidPnPInfo> info, TJvHidDeviceController& controller);
    // Gives the device back: its reader stops and, while it is plugged in, a
    // fresh object takes its place in the controller's list.
    ~TJvHidDevice();
    TJvHidDevice(const TJvHidDevice&) = delete;
    TJvHidDevice& operator=(const TJvHidDevice&) = delete;

    const TJvHidPnPInfo& PnPInfo() const { return *PlugInfo; }
    const HidAttributes& Attributes() const { return Attributes_; }
    bool FullAccess() const { return FullAccess_; }
    bool Present() const { return Present_; }
    bool Lent() const { return Lent_; }
    // Whether a reader runs for this device.
    bool Reading() const { return Reader != nullptr; }

    // Product and serial strings, read once and cached; empty when unread.
    std::u16string ReadProductText();
    std::u16string ReadSerialText();
    // The capabilities from the report descriptor; zero when unavailable.
    HidCaps ReadCapabilities();
    // `buffer` starts with the report number.
    bool SendFeatureReport(const std::uint8_t* buffer, std::size_t length);

    // Binding a handler starts the reader of a lent device with full access;
    // clearing it stops the reader.
    void SetDataHandler(TJvHidDataEvent handler);
    const TJvHidDataEvent& DataHandler() const { return DataHandler_; }
    void SetDataErrorHandler(TJvHidDataErrorEvent handler) { DataErrorHandler_ = handler; }
    const TJvHidDataErrorEvent& DataErrorHandler() const { return DataErrorHandler_; }
    void SetUnplugHandler(TJvHidPlugEvent handler) { UnplugHandler_ = handler; }
    const TJvHidPlugEvent& UnplugHandler() const { return UnplugHandler_; }

    // Reader wait slice in ms; only 10..10000 is taken.
    std::int32_t ReaderSleep() const { return ReaderSleep_; }
    void SetReaderSleep(std::int32_t value);
    // Input report queue lengths asked for the two handles (0: the system's).
    void SetSharedInputBuffers(std::uint32_t count) { SharedInputBuffers = count; }
    void SetReadInputBuffers(std::uint32_t count);

private:
    friend class TJvHidDeviceController;
    friend class TJvHidDeviceReadThread;

    bool Accessible() const { return Present_ && (Lent_ || InHandler_); }
    bool OpenShared();
    void CloseShared();
    // Reader thread: the read handle, opened on first use; none (and the
    // reason in `error`) when the device is not accessible or fails to open.
    std::shared_ptr<HidHandle> OpenReading(std::uint32_t& error);
    void CloseReading();
    void ReadPreparsed();
    void StartReader();
    void StopReader();
    void Unplug();

    TJvHidDeviceController* Controller;
    std::shared_ptr<HidPlatform> platform_;
    std::shared_ptr<HidHandOverQueue> handOver_;
    std::shared_ptr<const TJvHidPnPInfo> PlugInfo;
    // Read by the reader, written on the main thread.
    std::atomic<bool> Present_{true};
    std::atomic<bool> Lent_{false};
    std::atomic<bool> InHandler_{false};
    std::atomic<std::int32_t> ReaderSleep_{100};
    bool FullAccess_ = false;
    std::unique_ptr<HidHandle> SharedHandle;
    std::uint32_t SharedInputBuffers = 0;
    // The read handle is opened by the reader and closed by the main thread;
    // a reader in a read keeps its handle alive until the read returns.
    std::mutex readMutex_;
    std::shared_ptr<HidHandle> ReadHandle;
    std::uint32_t ReadInputBuffers = 0;
    HidAttributes Attributes_;
    std::u16string ProductText;
    std::u16string SerialText;
    std::optional<HidCaps> PreparsedData;
    TJvHidDataEvent DataHandler_;
    TJvHidDataErrorEvent DataErrorHandler_;
    TJvHidPlugEvent UnplugHandler_;
    std::unique_ptr<TJvHidDeviceReadThread> Reader;
};

// Keeps the list of HID devices present, rescans it when the system reports
// a change, announces arrivals and removals, and lends devices out. One per
// program.
class TJvHidDeviceController {
public:
    explicit TJvHidDeviceController(std::shared_ptr<HidPlatform> platform);
    // Readers must have been stopped before: lent devices are only unplugged.
    ~TJvHidDeviceController();
    TJvHidDeviceController(const TJvHidDeviceController&) = delete;
    TJvHidDeviceController& operator=(const TJvHidDeviceController&) = delete;

    // Rescans and announces what changed.
    void DeviceChange();
    // Offers every present device to OnEnumerate; returns how many it offered.
    std::int32_t EnumerateDevices();
    // The device at `index`, lent to the caller; none when the index is
    // outside the list or the device is lent already.
    std::unique_ptr<TJvHidDevice> LendDevice(std::int32_t index);

    std::int32_t Count() const { return static_cast<std::int32_t>(Devices.size()); }
    // The listed device at `index` (lent or not), for inspection.
    const TJvHidDevice* DeviceAt(std::int32_t index) const;
    std::int32_t FreeCount() const { return FreeCount_; }
    std::int32_t LentCount() const { return LentCount_; }
    std::int32_t UnpluggedCount() const { return UnpluggedCount_; }
    // The system's words for a read error.
    std::string ErrorText(std::uint32_t error) const { return platform_->ErrorText(error); }

    std::int32_t DevThreadSleepTime() const { return DevThreadSleepTime_; }
    void SetDevThreadSleepTime(std::int32_t value);
    std::string Version() const { return "1.0.22"; }
    void SetVersion(const std::string& /*ignored*/) {}

    const TJvHidPlugEvent& OnArrival() const { return OnArrival_; }
    void SetOnArrival(TJvHidPlugEvent handler) { OnArrival_ = handler; }
    const TJvHidEnumerateEvent& OnEnumerate() const { return OnEnumerate_; }
    void SetOnEnumerate(TJvHidEnumerateEvent handler) { OnEnumerate_ = handler; }
    const TJvHidPlugEvent& OnRemoval() const { return OnRemoval_; }
    void SetOnRemoval(TJvHidPlugEvent handler) { OnRemoval_ = handler; }
    const TNotifyEvent& OnDeviceChange() const { return OnDeviceChange_; }
    // A new handler rescans at once and is called even when nothing changed
    // the first time.
    void SetOnDeviceChange(TNotifyEvent handler);
    const TJvHidDataEvent& OnDeviceData() const { return OnDeviceData_; }
    void SetOnDeviceData(TJvHidDataEvent handler);
    const TJvHidDataErrorEvent& OnDeviceDataError() const { return OnDeviceDataError_; }
    void SetOnDeviceDataError(TJvHidDataErrorEvent handler);
    const TJvHidPlugEvent& OnDeviceUnplug() const { return OnDeviceUnplug_; }
    void SetOnDeviceUnplug(TJvHidPlugEvent handler);

private:
    friend class TJvHidDevice;
    // Gives `handler` to every device still on the controller's `current`
    // one (a device given its own handler keeps it), then makes it current.
    template <typename Handler>
    void PassOnHandler(Handler TJvHidDevice::*field, Handler& current, const Handler& handler);

    std::vector<std::unique_ptr<TJvHidDevice>> ListDevices();
    void Rescan();
    void Recount();
    // A device object is being destroyed: a fresh one takes its slot while
    // the device is plugged in, otherwise the slot goes.
    void TakeBack(TJvHidDevice& device, const TJvHidDataEvent& dataHandler,
                  const TJvHidPlugEvent& unplugHandler) noexcept;

    std::shared_ptr<HidPlatform> platform_;
    std::shared_ptr<HidHandOverQueue> handOver_;
    bool available_ = false;
    // Listed devices; the controller owns those that are not lent.
    std::vector<TJvHidDevice*> Devices;
    std::int32_t FreeCount_ = 0;
    std::int32_t LentCount_ = 0;
    std::int32_t UnpluggedCount_ = 0;
    bool ChangeAnnounced = false;
    bool changing_ = false;
    bool rescanAgain_ = false;
    std::int32_t DevThreadSleepTime_ = 100;
    TJvHidPlugEvent OnArrival_;
    TJvHidEnumerateEvent OnEnumerate_;
    TJvHidPlugEvent OnRemoval_;
    TNotifyEvent OnDeviceChange_;
    TJvHidDataEvent OnDeviceData_;
    TJvHidDataErrorEvent OnDeviceDataError_;
    TJvHidPlugEvent OnDeviceUnplug_;
};

} // namespace meterdesk::link
