#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace meterdesk::link {

// Vendor number, product number and release of a HID device.
struct HidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;

    bool operator==(const HidAttributes&) const = default;
};

// What the report descriptor declares. Report lengths count the report-ID
// byte, which every report handed to the controller starts with (0 when the
// device numbers none); 0 means no report of that kind.
struct HidCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;

    bool operator==(const HidCaps&) const = default;
};

// One HID device interface the system lists.
struct HidInterface {
    std::string DeviceInstance; // identity: the same device has the same text
    std::string InterfacePath;  // what Open takes
};

// Named properties of a device, as the system describes it.
using HidProperties = std::vector<std::pair<std::string, std::string>>;

// How a handle is opened: for control requests with or without read and
// write rights (the latter still allows attributes and strings), or for
// reading input reports.
enum class HidAccess : std::uint8_t { ReadWrite, NoAccess, Read };

enum class HidReadStatus : std::uint8_t { Report, TimedOut, Failed };

struct HidReadResult {
    HidReadStatus status = HidReadStatus::TimedOut;
    std::size_t bytes = 0;   // with Report: the bytes written, report ID included
    std::uint32_t error = 0; // with Failed: the system's error code
};

// An open device. Strings are UTF-16 code units written into the caller's
// buffer of `bytes` bytes.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    virtual bool GetAttributes(HidAttributes& attributes) = 0;
    virtual bool GetProductString(char16_t* buffer, std::size_t bytes) = 0;
    virtual bool GetSerialNumberString(char16_t* buffer, std::size_t bytes) = 0;
    // Index 0 is the list of languages the device's strings come in.
    virtual bool GetIndexedString(std::uint32_t index, char16_t* buffer, std::size_t bytes) = 0;
    virtual bool GetCaps(HidCaps& caps) = 0;
    virtual bool GetNumInputBuffers(std::uint32_t& count) = 0;
    virtual bool SetNumInputBuffers(std::uint32_t count) = 0;
    // `report` starts with the report ID.
    virtual bool SetFeature(const std::uint8_t* report, std::size_t length) = 0;
    // Waits at most `timeoutMs` for the next input report and writes it,
    // report ID first. Called on a reader thread.
    virtual HidReadResult Read(std::uint8_t* buffer, std::size_t length,
                               std::uint32_t timeoutMs) = 0;
};

struct HidOpenResult {
    std::unique_ptr<HidHandle> handle; // none when the device did not open
    std::uint32_t error = 0;           // then: the system's error code
};

using MainThreadPoster = std::function<void(std::function<void()>)>;

// What the HID controller needs from the system. Open and PostToMainThread
// are called from reader threads too; everything else on the main thread.
class HidPlatform {
public:
    virtual ~HidPlatform() = default;
    // False when the system offers no HID services: no devices, no notices.
    virtual bool Available() = 0;
    virtual std::vector<HidInterface> ListInterfaces() = 0;
    virtual HidProperties Properties(const std::string& deviceInstance) = 0;
    virtual HidOpenResult Open(const std::string& interfacePath, HidAccess access) = 0;
    // Calls `changed` on the main thread whenever HID devices come or go; an
    // empty function stops the notices.
    virtual void WatchChanges(std::function<void()> changed) = 0;
    // Has `task` run on the main thread soon; returns at once.
    virtual void PostToMainThread(std::function<void()> task) = 0;
    // The system's words for an error code.
    virtual std::string ErrorText(std::uint32_t code) = 0;
};

} // namespace meterdesk::link
