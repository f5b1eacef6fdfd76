#include "link/PortDoctor.h"

#include "link/PortNames.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace meterdesk::link {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBridgeProduct = "USB to Serial";
constexpr std::string_view kBridgeRule = "70-meterdesk-usb-bridge.rules";

// The udev rule folders, in udev's order of precedence.
constexpr std::string_view kRuleFolders[] = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                             "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                             "/lib/udev/rules.d"};

// USB-serial chips that brltty's rules claim for braille displays.
constexpr std::string_view kSerialChips[] = {"1a86/7523", "0403/6001", "10c4/ea60", "067b/2303"};

std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::vector<std::string> SplitColons(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ':')) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == ':') {
        fields.emplace_back();
    }
    return fields;
}

struct GroupEntry {
    std::string name;
    std::uint32_t gid = 0;
    std::vector<std::string> members;
};

struct Account {
    std::string name;
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
};

std::uint32_t Number(const std::string& text) {
    return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

std::vector<Account> ReadAccounts(const SystemRoot& root) {
    std::vector<Account> accounts;
    std::istringstream lines(ReadText(root.Under("/etc/passwd")).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        const auto fields = SplitColons(line);
        if (fields.size() >= 4) {
            accounts.push_back({fields[0], Number(fields[2]), Number(fields[3])});
        }
    }
    return accounts;
}

std::vector<GroupEntry> ReadGroups(const SystemRoot& root) {
    std::vector<GroupEntry> groups;
    std::istringstream lines(ReadText(root.Under("/etc/group")).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        const auto fields = SplitColons(line);
        if (fields.size() < 3) {
            continue;
        }
        GroupEntry group{fields[0], Number(fields[2]), {}};
        if (fields.size() > 3) {
            std::istringstream members(fields[3]);
            for (std::string member; std::getline(members, member, ',');) {
                group.members.push_back(member);
            }
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

std::string ModeText(std::uint32_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        text += (mode & (0400U >> bit)) != 0 ? letters[bit] : '-';
    }
    return text;
}

// The entries of a POSIX access list (the uaccess tag of udev leaves one).
struct AclEntry {
    std::uint16_t tag;
    std::uint16_t perm;
    std::uint32_t id;
};
constexpr std::uint16_t kAclUser = 0x02;
constexpr std::uint16_t kAclGroup = 0x08;
constexpr std::uint16_t kAclMask = 0x10;

std::vector<AclEntry> ReadAcl(const std::string& path) {
    unsigned char bytes[1024];
    const ssize_t size = getxattr(path.c_str(), "system.posix_acl_access", bytes, sizeof bytes);
    std::vector<AclEntry> entries;
    if (size < 4) {
        return entries;
    }
    for (ssize_t at = 4; at + 8 <= size; at += 8) {
        AclEntry entry{};
        entry.tag = static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
        entry.perm = static_cast<std::uint16_t>(bytes[at + 2] | bytes[at + 3] << 8);
        entry.id = static_cast<std::uint32_t>(bytes[at + 4] | bytes[at + 5] << 8 |
                                              bytes[at + 6] << 16 | bytes[at + 7] << 24);
        entries.push_back(entry);
    }
    return entries;
}

bool ReadWrite(std::uint32_t bits) {
    return (bits & 6U) == 6U;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : std::string(separator)) + part;
    }
    return text;
}

} // namespace

std::string SystemRoot::Under(std::string_view absolute) const {
    if (path.empty() || path == "/") {
        return std::string(absolute);
    }
    std::string under = path;
    if (under.back() == '/') {
        under.pop_back();
    }
    return under + std::string(absolute);
}

UserIdentity CurrentUser() {
    UserIdentity user;
    user.uid = getuid();
    user.gid = getgid();
    user.pid = getpid();
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0 && getgroups(count, groups.data()) == count) {
        user.sessionGroups.assign(groups.begin(), groups.end());
    }
    user.sessionGroups.push_back(user.gid);
    return user;
}

bool DeviceDiagnosis::Usable() const {
    return std::none_of(findings.begin(), findings.end(),
                        [](const Finding& finding) { return finding.blocking; });
}

bool Diagnosis::AllUsable() const {
    return std::all_of(devices.begin(), devices.end(),
                       [](const DeviceDiagnosis& device) { return device.Usable(); });
}

std::string PortDoctor::UserName() const {
    for (const Account& account : ReadAccounts(root_)) {
        if (account.uid == user_.uid) {
            return account.name;
        }
    }
    return "uid " + std::to_string(user_.uid);
}

Diagnosis PortDoctor::Examine() const {
    Diagnosis diagnosis;
    diagnosis.user = UserName();
    std::vector<std::string> ports;
    std::vector<std::string> bridges;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root_.Under("/dev"), error)) {
        const std::string name = entry.path().filename().string();
        const bool usb =
            name.starts_with("ttyUSB") || name.starts_with("ttyACM") || name.starts_with("ttyAMA");
        // The kernel makes ttyS0..31 whether there is a UART or not; its
        // type says which are real.
        const bool onBoard =
            name.starts_with("ttyS") &&
            Trimmed(ReadText(root_.Under("/sys/class/tty/" + name + "/type")).value_or("0")) != "0";
        if (usb || onBoard) {
            ports.push_back("/dev/" + name);
        }
    }
    for (const auto& entry : fs::directory_iterator(root_.Under("/sys/class/hidraw"), error)) {
        fs::path at = fs::canonical(entry.path() / "device", error);
        const fs::path top = fs::weakly_canonical(root_.Under("/sys"), error);
        // The product text belongs to the USB device a few levels up.
        while (!error && !at.empty() && at != top && at != at.parent_path()) {
            if (const auto product = ReadText((at / "product").string())) {
                if (Trimmed(*product) == kBridgeProduct) {
                    bridges.push_back("/dev/" + entry.path().filename().string());
                }
                break;
            }
            at = at.parent_path();
        }
        error.clear();
    }
    for (const std::string& port : OrderSerialPorts(ports)) {
        diagnosis.devices.push_back(ExaminePort(port));
    }
    std::sort(bridges.begin(), bridges.end());
    for (const std::string& bridge : bridges) {
        diagnosis.devices.push_back(ExamineBridge(bridge));
    }
    diagnosis.system = SystemFindings();
    return diagnosis;
}

DeviceDiagnosis PortDoctor::ExaminePort(const std::string& devicePath) const {
    DeviceDiagnosis device = ExamineNode(DeviceKind::SerialPort, devicePath);
    if (!device.node.empty()) {
        AddHolders(device);
    }
    return device;
}

DeviceDiagnosis PortDoctor::ExamineBridge(const std::string& devicePath) const {
    DeviceDiagnosis device = ExamineNode(DeviceKind::UsbBridge, devicePath);
    AddBridgeRule(device);
    if (!device.node.empty()) {
        AddHolders(device);
    }
    return device;
}

DeviceDiagnosis PortDoctor::ExamineNode(DeviceKind kind, const std::string& devicePath) const {
    DeviceDiagnosis device;
    device.kind = kind;
    device.path = devicePath;
    struct stat node {};
    if (stat(root_.Under(devicePath).c_str(), &node) != 0) {
        device.findings.push_back(
            {true, "there is no device " + devicePath,
             kind == DeviceKind::SerialPort
                 ? "plug in the adapter; if it vanishes again at once, see brltty below"
                 : "plug in the cable"});
        return device;
    }
    std::string owner = std::to_string(node.st_uid);
    for (const Account& account : ReadAccounts(root_)) {
        owner = account.uid == node.st_uid ? account.name : owner;
    }
    std::string group = std::to_string(node.st_gid);
    for (const GroupEntry& entry : ReadGroups(root_)) {
        group = entry.gid == node.st_gid ? entry.name : group;
    }
    device.node = ModeText(node.st_mode) + " " + owner + " " + group;
    AddAccess(device, node.st_uid, node.st_gid, node.st_mode);
    return device;
}

void PortDoctor::AddAccess(DeviceDiagnosis& device, std::uint32_t owner, std::uint32_t group,
                           std::uint32_t mode) const {
    const std::string user = UserName();
    const auto inSession = [this](std::uint32_t gid) {
        return std::find(user_.sessionGroups.begin(), user_.sessionGroups.end(), gid) !=
               user_.sessionGroups.end();
    };
    const std::vector<AclEntry> acl = ReadAcl(root_.Under(device.path));
    std::uint32_t mask = 7;
    for (const AclEntry& entry : acl) {
        mask = entry.tag == kAclMask ? entry.perm : mask;
    }
    std::string how;
    if (user_.uid == 0) {
        how = "as root, who may use every device";
    } else if (owner == user_.uid) {
        how = ReadWrite(mode >> 6) ? "as its owner" : "";
    } else {
        for (const AclEntry& entry : acl) {
            if (entry.tag == kAclUser && entry.id == user_.uid && ReadWrite(entry.perm & mask)) {
                how = "through its access list (a udev uaccess rule gives it to the user at the "
                      "seat)";
            }
            if (entry.tag == kAclGroup && inSession(entry.id) && ReadWrite(entry.perm & mask)) {
                how = "through its access list";
            }
        }
        if (how.empty() && inSession(group) && ReadWrite(mode >> 3)) {
            how = "as a member of its group";
        }
        if (how.empty() && ReadWrite(mode)) {
            how = "as everyone may";
        }
    }
    if (!how.empty()) {
        device.findings.push_back({false, "read and write: yes, " + how, ""});
        return;
    }
    std::string groupName = std::to_string(group);
    bool listed = false;
    for (const GroupEntry& entry : ReadGroups(root_)) {
        if (entry.gid == group) {
            groupName = entry.name;
            listed =
                std::find(entry.members.begin(), entry.members.end(), user) != entry.members.end();
        }
    }
    for (const Account& account : ReadAccounts(root_)) {
        listed = listed || (account.uid == user_.uid && account.gid == group);
    }
    if (group != 0 && ReadWrite(mode >> 3)) {
        if (listed) {
            device.findings.push_back(
                {true,
                 user + " is in group " + groupName +
                     ", which may read and write it, but that group is not active in this login "
                     "session (groups are read at login)",
                 "log out and in again (or, for this shell only: newgrp " + groupName + ")"});
        } else {
            device.findings.push_back(
                {true, user + " is not in group " + groupName + ", which may read and write it",
                 "sudo usermod -aG " + groupName + " " + user + ", then log out and in again"});
        }
        return;
    }
    if (device.kind == DeviceKind::SerialPort) {
        device.findings.push_back(
            {true,
             "only " + (group == 0 ? std::string("root") : groupName) + " may read and write it",
             "give serial ports to the dialout group with a udev rule: "
             "KERNEL==\"tty[A-Z]*[0-9]*\", GROUP=\"dialout\", MODE=\"0660\""});
    } else {
        device.findings.push_back({true, user + " may not read and write it", ""});
    }
}

void PortDoctor::AddBridgeRule(DeviceDiagnosis& device) const {
    std::string installed;
    for (const std::string_view folder : kRuleFolders) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(root_.Under(folder), error)) {
            const std::string text = ReadText(entry.path().string()).value_or("");
            const bool ours = entry.path().filename() == kBridgeRule ||
                              text.find("ATTRS{product}==\"USB to Serial\"") != std::string::npos;
            if (installed.empty() && ours && entry.path().extension() == ".rules") {
                installed = std::string(folder) + "/" + entry.path().filename().string();
            }
        }
    }
    const bool usable = device.Usable();
    if (!installed.empty()) {
        device.findings.push_back(
            {!usable && !device.node.empty(),
             "the cable's udev rule is installed (" + installed + ")",
             usable || device.node.empty()
                 ? ""
                 : "it takes effect when the cable is plugged in, for the user logged in at this "
                   "computer's seat: unplug the cable and plug it in again; over SSH, add "
                   "GROUP=\"plugdev\", MODE=\"0660\" to the rule and join that group"});
        return;
    }
    device.findings.push_back(
        {!usable && !device.node.empty(), "the cable's udev rule is not installed",
         "sudo cp packaging/70-meterdesk-usb-bridge.rules /etc/udev/rules.d/ && sudo udevadm "
         "control --reload, then unplug the cable and plug it in again"});
}

std::vector<PortDoctor::Process> PortDoctor::Processes() const {
    std::vector<Process> processes;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root_.Under("/proc"), error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() ||
            !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        processes.push_back(
            {std::stoi(name), Trimmed(ReadText((entry.path() / "comm").string()).value_or("?"))});
    }
    std::sort(processes.begin(), processes.end(),
              [](const Process& a, const Process& b) { return a.pid < b.pid; });
    return processes;
}

void PortDoctor::AddHolders(DeviceDiagnosis& device) const {
    int unreadable = 0;
    for (const Process& process : Processes()) {
        if (process.pid == user_.pid) {
            continue;
        }
        std::error_code error;
        const fs::path fds = root_.Under("/proc/" + std::to_string(process.pid) + "/fd");
        fs::directory_iterator entries(fds, error);
        if (error) {
            unreadable += error == std::errc::permission_denied ? 1 : 0;
            continue;
        }
        for (const auto& fd : entries) {
            if (fs::read_symlink(fd.path(), error) != device.path) {
                continue;
            }
            // hidraw hands every report to every reader; a serial port is
            // opened exclusively, and shared bytes would be torn frames.
            const bool serial = device.kind == DeviceKind::SerialPort;
            device.findings.push_back(
                {serial,
                 "process " + std::to_string(process.pid) + " (" + process.name + ") holds it open",
                 process.name == "ModemManager" ? "sudo systemctl disable --now ModemManager"
                 : process.name == "brltty"
                     ? "sudo systemctl mask --now brltty.service, "
                       "or sudo apt remove brltty"
                     : "close that program, or: kill " + std::to_string(process.pid)});
            break;
        }
    }
    if (unreadable > 0) {
        device.findings.push_back(
            {false,
             std::to_string(unreadable) + " processes of other users could not be looked into",
             "run the doctor with sudo to see every holder"});
    }
}

std::vector<Finding> PortDoctor::SystemFindings() const {
    std::vector<Finding> findings;
    const std::vector<Process> processes = Processes();
    const auto running = [&processes](std::string_view name) {
        return std::find_if(processes.begin(), processes.end(), [name](const Process& process) {
                   return process.name == name;
               }) != processes.end();
    };
    bool brlttyInstalled = false;
    for (const char* path : {"/usr/bin/brltty", "/bin/brltty", "/usr/sbin/brltty"}) {
        brlttyInstalled = brlttyInstalled || fs::exists(root_.Under(path));
    }
    std::vector<std::string> claimed;
    for (const std::string_view folder : kRuleFolders) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(root_.Under(folder), error)) {
            if (entry.path().filename().string().find("brltty") == std::string::npos) {
                continue;
            }
            const std::string text = ReadText(entry.path().string()).value_or("");
            for (const std::string_view chip : kSerialChips) {
                if (text.find(chip) != std::string::npos &&
                    std::find(claimed.begin(), claimed.end(), chip) == claimed.end()) {
                    claimed.emplace_back(chip);
                }
            }
        }
    }
    const bool brlttyRuns = running("brltty");
    if ((brlttyInstalled || brlttyRuns) && !claimed.empty()) {
        findings.push_back(
            {false,
             std::string(brlttyRuns ? "brltty is running" : "brltty is installed") +
                 ", and its udev rule claims USB-serial chips (" + Join(claimed, ", ") +
                 ") for braille displays: such an adapter vanishes right after it is plugged in",
             "without a braille display: sudo apt remove brltty; else: sudo systemctl mask "
             "brltty-udev.service, then plug the adapter in again"});
    } else if (brlttyRuns) {
        findings.push_back(
            {false, "brltty is running: it may open serial ports", "sudo systemctl stop brltty"});
    }
    if (running("ModemManager")) {
        findings.push_back(
            {false,
             "ModemManager is running: it opens new USB serial ports to look for a modem, which "
             "can hold the port or swallow the meter's first bytes",
             "sudo systemctl disable --now ModemManager, or mark the adapter with "
             "ENV{ID_MM_DEVICE_IGNORE}=\"1\" in a udev rule"});
    }
    return findings;
}

std::string PortDoctor::Explain(DeviceKind kind, const std::string& devicePath) const {
    std::vector<Finding> findings;
    // Simulated devices and pseudo-terminals elsewhere are not the doctor's.
    if (devicePath.starts_with("/dev/")) {
        const DeviceDiagnosis device =
            kind == DeviceKind::SerialPort ? ExaminePort(devicePath) : ExamineBridge(devicePath);
        for (const Finding& finding : device.findings) {
            if (finding.blocking) {
                findings.push_back(finding);
            }
        }
    }
    if (kind == DeviceKind::SerialPort) {
        const std::vector<Finding> system = SystemFindings();
        findings.insert(findings.end(), system.begin(), system.end());
    }
    std::string text;
    for (const Finding& finding : findings) {
        text += "\n- " + finding.what + (finding.fix.empty() ? "." : ". Fix: " + finding.fix + ".");
    }
    return text.empty() ? text : "\n\nWhat stands in the way:" + text;
}

std::string DoctorReport(const Diagnosis& diagnosis) {
    std::string text = "Serial ports and USB cables, for user " + diagnosis.user + ":\n";
    std::size_t usable = 0;
    for (const DeviceDiagnosis& device : diagnosis.devices) {
        usable += device.Usable() ? 1 : 0;
        text += "\n" + device.path +
                (device.kind == DeviceKind::SerialPort ? "  serial port"
                                                       : "  USB cable (\"USB to Serial\")") +
                (device.node.empty() ? "" : "  " + device.node) +
                (device.Usable() ? "  usable" : "  NOT usable") + "\n";
        for (const Finding& finding : device.findings) {
            text += std::string(finding.blocking ? "  problem: " : "  ") + finding.what + "\n";
            if (!finding.fix.empty()) {
                text += "    fix: " + finding.fix + "\n";
            }
        }
    }
    if (diagnosis.devices.empty()) {
        text += "\nNo serial port and no USB cable found.\n";
    }
    if (!diagnosis.system.empty()) {
        text += "\nThis system:\n";
        for (const Finding& finding : diagnosis.system) {
            text += "  " + finding.what + "\n";
            if (!finding.fix.empty()) {
                text += "    fix: " + finding.fix + "\n";
            }
        }
    }
    text += "\n" + std::to_string(usable) + " of " + std::to_string(diagnosis.devices.size()) +
            " devices usable.\n";
    return text;
}

} // namespace meterdesk::link
