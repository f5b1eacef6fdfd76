#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meterdesk::link {

// The part of the system the doctor reads: /dev, /proc, /sys, /etc and the
// udev rule folders, below `path` ("/" for this computer; a test lays out
// its own tree).
struct SystemRoot {
    std::string path = "/";
    std::string Under(std::string_view absolute) const;
};

// Who asks: the user, and the groups active in this login session.
struct UserIdentity {
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::vector<std::uint32_t> sessionGroups;
    int pid = 0; // this process, which is no holder of a port
};
UserIdentity CurrentUser();

// One thing between the user and a device, or a fact about it.
struct Finding {
    bool blocking = false; // the device cannot be used until it is fixed
    std::string what;
    std::string fix; // empty when nothing is to be done
};

enum class DeviceKind : std::uint8_t { SerialPort, UsbBridge };

struct DeviceDiagnosis {
    DeviceKind kind = DeviceKind::SerialPort;
    std::string path; // as the system names it: /dev/ttyUSB0
    std::string node; // "crw-rw---- root dialout", empty when there is none
    std::vector<Finding> findings;
    bool Usable() const;
};

struct Diagnosis {
    std::string user;
    std::vector<DeviceDiagnosis> devices;
    std::vector<Finding> system; // brltty, ModemManager
    bool AllUsable() const;
};

// Finds what stands between the user and each serial port and USB cable
// ("USB to Serial" bridge): the node's owner, group and mode, the user's
// groups in the group database and in this session, processes holding the
// port, brltty and ModemManager, the cable's udev rule.
class PortDoctor {
public:
    PortDoctor(SystemRoot root, UserIdentity user)
        : root_(std::move(root)), user_(std::move(user)) {}

    // Every serial port (USB adapters first) and every bridge.
    Diagnosis Examine() const;
    DeviceDiagnosis ExaminePort(const std::string& devicePath) const;
    DeviceDiagnosis ExamineBridge(const std::string& devicePath) const;
    // Facts about the system that touch serial ports.
    std::vector<Finding> SystemFindings() const;

    // What to add to a message about a device that failed: the blocking
    // findings of the device (empty path: none) and the system's; empty
    // when there are none.
    std::string Explain(DeviceKind kind, const std::string& devicePath) const;

private:
    struct Process {
        int pid;
        std::string name;
    };
    DeviceDiagnosis ExamineNode(DeviceKind kind, const std::string& devicePath) const;
    void AddAccess(DeviceDiagnosis& device, std::uint32_t owner, std::uint32_t group,
                   std::uint32_t mode) const;
    void AddBridgeRule(DeviceDiagnosis& device) const;
    void AddHolders(DeviceDiagnosis& device) const;
    std::vector<Process> Processes() const;
    std::string UserName() const;

    SystemRoot root_;
    UserIdentity user_;
};

// The doctor's report as meterdesk-log doctor prints it.
std::string DoctorReport(const Diagnosis& diagnosis);

} // namespace meterdesk::link
