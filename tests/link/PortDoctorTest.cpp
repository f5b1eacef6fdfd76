// Scope: the port doctor over a system tree laid out by the test (/dev,
// /proc, /sys, /etc, udev rules): access by owner, group and session,
// holders, brltty and ModemManager, the cable's rule, and the open-failure
// message that carries the findings.
#include "link/PortDoctor.h"

#include "link/SerialMessages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace meterdesk::link {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A system tree in a temporary folder. Its nodes are plain files owned by
// the test's own user; the doctor asks for another user, alice.
class FakeSystem : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(::testing::TempDir()) /
               ("meterdesk_doctor_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        Write("dev/ttyUSB0", "", 0660);
        struct stat node {};
        stat((root / "dev/ttyUSB0").c_str(), &node);
        fileGid = node.st_gid;
        alice.uid = node.st_uid + 1000;
        alice.gid = node.st_gid + 1000;
        alice.pid = 1;
        Write("etc/passwd", "alice:x:" + std::to_string(alice.uid) + ":" +
                                std::to_string(alice.gid) + "::/home/alice:/bin/sh\n");
        SetGroupMembers("");
    }
    void TearDown() override { fs::remove_all(root); }

    void Write(const std::string& path, const std::string& text, unsigned mode = 0644) {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
        fs::permissions(root / path, static_cast<fs::perms>(mode));
        if (geteuid() == 0 && path.starts_with("dev/")) {
            // Run as root, a node would belong to the root group, which the
            // doctor never suggests joining: give it dialout's usual number.
            EXPECT_EQ(chown((root / path).c_str(), static_cast<uid_t>(-1), 20), 0);
        }
    }
    void Link(const std::string& path, const std::string& target) {
        fs::create_directories((root / path).parent_path());
        fs::create_symlink(target, root / path);
    }
    void SetGroupMembers(const std::string& members) {
        Write("etc/group", "dialout:x:" + std::to_string(fileGid) + ":" + members + "\n" +
                               "alice:x:" + std::to_string(alice.gid) + ":\n");
    }
    void HoldingProcess(int pid, const std::string& name, const std::string& device) {
        Write("proc/" + std::to_string(pid) + "/comm", name + "\n");
        fs::create_directories(root / ("proc/" + std::to_string(pid) + "/fd"));
        if (!device.empty()) {
            Link("proc/" + std::to_string(pid) + "/fd/3", device);
        }
    }
    void Bridge(const std::string& hidraw, const std::string& product, unsigned mode) {
        const std::string usb = "sys/devices/usb1/1-" + hidraw;
        Write(usb + "/product", product + "\n");
        fs::create_directories(root / (usb + "/1-1:1.0/0003:1A86:E008.0001"));
        Link("sys/class/hidraw/" + hidraw + "/device",
             "../../../devices/usb1/1-" + hidraw + "/1-1:1.0/0003:1A86:E008.0001");
        Write("dev/" + hidraw, "", mode);
    }
    PortDoctor Doctor() const { return PortDoctor(SystemRoot{root.string()}, alice); }
    static std::string Texts(const DeviceDiagnosis& device) {
        std::string all;
        for (const Finding& finding : device.findings) {
            all += (finding.blocking ? "! " : "  ") + finding.what + " | " + finding.fix + "\n";
        }
        return all;
    }

    fs::path root;
    UserIdentity alice;
    std::uint32_t fileGid = 0;
};

TEST_F(FakeSystem, GroupMembershipInTheDatabaseAndInThisSession) {
    const DeviceDiagnosis outside = Doctor().ExaminePort("/dev/ttyUSB0");
    EXPECT_FALSE(outside.Usable());
    EXPECT_THAT(outside.node, HasSubstr("rw-rw----"));
    EXPECT_THAT(outside.node, HasSubstr(" dialout"));
    EXPECT_THAT(Texts(outside), HasSubstr("! alice is not in group dialout"));
    EXPECT_THAT(Texts(outside), HasSubstr("sudo usermod -aG dialout alice"));

    SetGroupMembers("bob,alice");
    const DeviceDiagnosis notYet = Doctor().ExaminePort("/dev/ttyUSB0");
    EXPECT_FALSE(notYet.Usable());
    EXPECT_THAT(Texts(notYet), HasSubstr("not active in this login session"));
    EXPECT_THAT(Texts(notYet), HasSubstr("log out and in again"));

    alice.sessionGroups = {alice.gid, fileGid};
    const DeviceDiagnosis member = Doctor().ExaminePort("/dev/ttyUSB0");
    EXPECT_TRUE(member.Usable()) << Texts(member);
    EXPECT_THAT(Texts(member), HasSubstr("read and write: yes, as a member of its group"));

    fs::permissions(root / "dev/ttyUSB0", static_cast<fs::perms>(0600));
    const DeviceDiagnosis rootOnly = Doctor().ExaminePort("/dev/ttyUSB0");
    EXPECT_FALSE(rootOnly.Usable());
    EXPECT_THAT(Texts(rootOnly), HasSubstr("GROUP=\"dialout\", MODE=\"0660\""));
}

TEST_F(FakeSystem, AProcessHoldingThePortIsNamedWithItsFix) {
    alice.sessionGroups = {fileGid};
    HoldingProcess(4242, "minicom", "/dev/ttyUSB0");
    HoldingProcess(4300, "bash", "/dev/pts/1");
    HoldingProcess(alice.pid, "meterdesk", "/dev/ttyUSB0"); // the asking process itself
    const DeviceDiagnosis held = Doctor().ExaminePort("/dev/ttyUSB0");
    EXPECT_FALSE(held.Usable());
    EXPECT_THAT(Texts(held), HasSubstr("! process 4242 (minicom) holds it open | close that "
                                       "program, or: kill 4242"));
    EXPECT_THAT(Texts(held), ::testing::Not(HasSubstr("4300")));
    EXPECT_THAT(Texts(held), ::testing::Not(HasSubstr("meterdesk")));
}

TEST_F(FakeSystem, BrlttyWithAUsbSerialRuleAndModemManagerAreReported) {
    EXPECT_TRUE(Doctor().SystemFindings().empty());
    Write("usr/bin/brltty", "", 0755);
    Write("usr/lib/udev/rules.d/85-brltty.rules",
          "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\"\n");
    HoldingProcess(900, "ModemManager", "");
    const std::vector<Finding> system = Doctor().SystemFindings();
    ASSERT_EQ(system.size(), 2U);
    EXPECT_THAT(system[0].what, HasSubstr("brltty is installed"));
    EXPECT_THAT(system[0].what, HasSubstr("1a86/7523"));
    EXPECT_THAT(system[0].fix, HasSubstr("apt remove brltty"));
    EXPECT_THAT(system[1].what, HasSubstr("ModemManager is running"));
    EXPECT_THAT(system[1].fix, HasSubstr("systemctl disable --now ModemManager"));
}

TEST_F(FakeSystem, TheCableAndItsUdevRule) {
    Bridge("hidraw2", "USB to Serial", 0600);
    Bridge("hidraw5", "Keyboard", 0600);
    const DeviceDiagnosis bare = Doctor().ExamineBridge("/dev/hidraw2");
    EXPECT_FALSE(bare.Usable());
    EXPECT_THAT(Texts(bare), HasSubstr("! the cable's udev rule is not installed | sudo cp "
                                       "packaging/70-meterdesk-usb-bridge.rules"));
    // What the window appends to its cable-without-access message.
    EXPECT_THAT(Doctor().Explain(DeviceKind::UsbBridge, "/dev/hidraw2"),
                HasSubstr("\n\nWhat stands in the way:\n- alice may not read and write it.\n- "
                          "the cable's udev rule is not installed. Fix: sudo cp"));
    EXPECT_EQ(Doctor().Explain(DeviceKind::UsbBridge, "sim:hidraw0"), "");

    Write("etc/udev/rules.d/70-meterdesk-usb-bridge.rules",
          "SUBSYSTEM==\"hidraw\", ATTRS{product}==\"USB to Serial\", TAG+=\"uaccess\"\n");
    const DeviceDiagnosis ruled = Doctor().ExamineBridge("/dev/hidraw2");
    EXPECT_FALSE(ruled.Usable());
    EXPECT_THAT(Texts(ruled), HasSubstr("rule is installed (/etc/udev/rules.d/70-meterdesk"));
    EXPECT_THAT(Texts(ruled), HasSubstr("unplug the cable and plug it in again"));

    fs::permissions(root / "dev/hidraw2", static_cast<fs::perms>(0666));
    EXPECT_TRUE(Doctor().ExamineBridge("/dev/hidraw2").Usable());
}

TEST_F(FakeSystem, EveryPortAndBridgeIsListedAndTheVerdictCoversThemAll) {
    Write("dev/ttyS0", "", 0660);
    Write("sys/class/tty/ttyS0/type", "0\n");
    Write("dev/ttyS1", "", 0660);
    Write("sys/class/tty/ttyS1/type", "4\n");
    Write("dev/ttyACM0", "", 0660);
    Write("dev/tty5", "", 0660);
    Bridge("hidraw1", "USB to Serial", 0666);
    alice.sessionGroups = {fileGid};
    const Diagnosis all = Doctor().Examine();
    std::vector<std::string> paths;
    for (const DeviceDiagnosis& device : all.devices) {
        paths.push_back(device.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS1",
                                               "/dev/hidraw1"}));
    EXPECT_EQ(all.user, "alice");
    EXPECT_TRUE(all.AllUsable()) << DoctorReport(all);
    const std::string report = DoctorReport(all);
    EXPECT_THAT(report, HasSubstr("/dev/hidraw1  USB cable (\"USB to Serial\")"));
    EXPECT_THAT(report, HasSubstr("4 of 4 devices usable."));

    fs::permissions(root / "dev/ttyACM0", static_cast<fs::perms>(0600));
    EXPECT_FALSE(Doctor().Examine().AllUsable());
}

TEST_F(FakeSystem, TheOpenFailureMessageKeepsItsTextAndAddsTheFindings) {
    const std::string text = DescribeOpenFailure(
        "COM1", "/dev/ttyUSB0", {OpenFailure::PermissionDenied, "Permission denied"}, Doctor());
    EXPECT_EQ(text.rfind("COM1 (/dev/ttyUSB0) cannot be opened: Permission denied.", 0), 0U);
    EXPECT_THAT(text, HasSubstr("\n\nWhat stands in the way:\n- alice is not in group dialout"));
    alice.sessionGroups = {fileGid};
    const std::string fine = DescribeOpenFailure(
        "COM1", "/dev/ttyUSB0", {OpenFailure::Other, "Input/output error"}, Doctor());
    EXPECT_THAT(fine, ::testing::Not(HasSubstr("What stands in the way")));
}

} // namespace
} // namespace meterdesk::link
