// Scope: meterdesk-log as a user runs it: over a pseudo-terminal with the
// virtual meter (also when its port vanishes and comes back), from a
// recorded byte stream, with the log rules, converting files, stopping on
// SIGINT, and its exit statuses.
#include "record/DataFiles.h"
#include "record/SafeFile.h"
#include "sim/FrameEncoder.h"
#include "sim/PtyEndpoint.h"
#include "sim/VirtualMeter.h"
#include "tests/support/DecodingChain.h"
#include "tests/support/LoggerProcess.h"
#include "tests/support/MosquittoBroker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <regex>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace meterdesk {
namespace {

// A running meterdesk-log with its standard output and error collected; its
// standard input gets `input` and is closed at once.
class Logger : public testing::LoggerProcess {
public:
    explicit Logger(const std::vector<std::string>& arguments, const std::string& input = {})
        : LoggerProcess(arguments, {}) {
        Feed(input);
        CloseInput();
    }
};

std::string ValueOf(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) {
        fields.push_back(cell);
    }
    return fields.size() > 3 ? fields[3] : std::string();
}

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "meterdesk_log_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// The value texts the meter's frames decode to, in order.
std::vector<std::string> DecodedValues(const std::string& bytes) {
    testing::DecodingChain chain;
    std::vector<std::string> values;
    chain.decoder.handOffs.ReadingReady = [&] { values.push_back(chain.state.ReadingValue); };
    chain.FeedSerial({bytes.begin(), bytes.end()});
    return values;
}

TEST(MeterdeskLog, RowsOverAPseudoTerminalAreTheReadingsTheMeterSent) {
    sim::PtyEndpoint pty;
    Logger logger({"--port", pty.DevicePath(), "--samples", "8"});
    sim::VirtualMeter meter(sim::Scenario::Wander);
    std::string sent{"\n"};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!logger.Exited() && std::chrono::steady_clock::now() < deadline) {
        const auto bytes = meter.NextBytes();
        pty.Write(bytes.data(), bytes.size());
        sent.append(bytes.begin(), bytes.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(logger.Wait(), 0) << logger.Errors();
    const auto lines = logger.Lines();
    ASSERT_EQ(lines.size(), 9U);
    EXPECT_EQ(lines[0], "No.\tTime\tDC/AC\tValue\tUnit\tAuto");
    // The rows are consecutive readings of those sent (the first ones may
    // have gone before the port was open).
    const std::vector<std::string> values = DecodedValues(sent);
    std::vector<std::string> logged;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        logged.push_back(ValueOf(lines[i]));
        EXPECT_THAT(lines[i], ::testing::StartsWith(std::to_string(i) + "\t"));
    }
    EXPECT_NE(std::search(values.begin(), values.end(), logged.begin(), logged.end()),
              values.end());
}

TEST(MeterdeskLog, InputStreamRulesAndStandardInput) {
    sim::VirtualMeter meter(sim::Scenario::Sweep);
    std::string stream{"\n"};
    for (int i = 0; i < 40; ++i) {
        const auto bytes = meter.NextBytes();
        stream.append(bytes.begin(), bytes.end());
    }
    const std::string path = TempPath("stream.bin");
    std::ofstream(path, std::ios::binary) << stream;

    Logger all({"--input", path});
    ASSERT_EQ(all.Wait(), 0) << all.Errors();
    const auto lines = all.Lines();
    ASSERT_EQ(lines.size(), 41U);
    const auto values = DecodedValues(stream);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(ValueOf(lines[i + 1]), values[i]) << i;
    }

    Logger limited({"--input", "-", "--limit", "3"}, stream);
    ASSERT_EQ(limited.Wait(), 0);
    EXPECT_EQ(limited.Lines().size(), 4U);

    std::string steady{"\n"};
    sim::VirtualMeter same(sim::Scenario::Steady);
    for (int i = 0; i < 10; ++i) {
        const auto bytes = same.NextBytes();
        steady.append(bytes.begin(), bytes.end());
    }
    Logger once({"--input", "-", "--no-repeat"}, steady);
    ASSERT_EQ(once.Wait(), 0);
    EXPECT_EQ(once.Lines().size(), 2U);
}

// The help's words for --interval against what the countdown does over a
// file, which is read at once, with no clock ticking.
TEST(MeterdeskLog, IntervalDoesWhatItsHelpSays) {
    Logger help({"--help"});
    ASSERT_EQ(help.Wait(), 0);
    std::string text;
    for (const std::string& line : help.Lines()) {
        text += line + "\n";
    }
    EXPECT_THAT(text, ::testing::HasSubstr("--interval S   after each logged row, wait S ticks"));
    EXPECT_THAT(text, ::testing::HasSubstr("0 logs every reading. Over --input the clock"));
    EXPECT_THAT(text, ::testing::HasSubstr("only its first reading when S is above 0"));

    sim::VirtualMeter meter(sim::Scenario::Sweep);
    std::string stream{"\n"};
    for (int i = 0; i < 20; ++i) {
        const auto bytes = meter.NextBytes();
        stream.append(bytes.begin(), bytes.end());
    }
    const auto values = DecodedValues(stream);
    ASSERT_EQ(values.size(), 20U);
    Logger waiting({"--input", "-", "--interval", "2"}, stream);
    ASSERT_EQ(waiting.Wait(), 0) << waiting.Errors();
    const auto first = waiting.Lines();
    ASSERT_EQ(first.size(), 2U); // the header and the first reading
    EXPECT_EQ(ValueOf(first[1]), values[0]);
    Logger every({"--input", "-", "--interval", "0"}, stream);
    ASSERT_EQ(every.Wait(), 0) << every.Errors();
    EXPECT_EQ(every.Lines().size(), 21U);
}

TEST(MeterdeskLog, JsonLinesAndTheBrokerCarryEveryRowInOrder) {
    sim::VirtualMeter meter(sim::Scenario::Sweep);
    std::string stream{"\n"};
    for (int i = 0; i < 40; ++i) {
        const auto bytes = meter.NextBytes();
        stream.append(bytes.begin(), bytes.end());
    }
    const std::string path = TempPath("json.bin");
    std::ofstream(path, std::ios::binary) << stream;
    testing::MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    testing::QosOneSubscriber subscriber(broker.Port(), "lab/bench1/dmm1");
    ASSERT_TRUE(testing::WaitUntil([&] { return subscriber.Subscribed(); }));

    const std::string url =
        "mqtt://127.0.0.1:" + std::to_string(broker.Port()) + "/lab/bench1/dmm1";
    Logger logger({"--input", path, "--format", "jsonl", "--mqtt", url});
    ASSERT_EQ(logger.Wait(), 0) << logger.Errors();
    const auto lines = logger.Lines();
    const auto values = DecodedValues(stream);
    ASSERT_EQ(lines.size(), values.size());
    const std::regex form(
        R"re(\{"no":(\d+),"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z",)re"
        R"re("text":"([^"]*)","value":(-?[0-9.e+-]+|null),"unit":"[^"]*",)re"
        R"re("unit_text":"[^"]*","coupling":"(AC|DC|)","range":"(AUTO|MANU)"\})re");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(lines[i], parts, form)) << lines[i];
        EXPECT_EQ(parts[1], std::to_string(i + 1));
        EXPECT_EQ(parts[2], values[i]);
    }
    // The broker got the very same objects, in the same order.
    ASSERT_TRUE(testing::WaitUntil([&] { return subscriber.Messages().size() >= lines.size(); }));
    EXPECT_EQ(subscriber.Messages(), lines);
}

TEST(MeterdeskLog, ConvertTextToXmlAndBackGivesTheSameBytes) {
    const std::string text = TempPath("log.txt");
    const std::string xml = TempPath("log.xml");
    const std::string back = TempPath("back.txt");
    std::ofstream(text, std::ios::binary)
        << "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n1\t10:00:01\tDC\t-12.34\tV\tAUTO\r\n"
           "2\t10:00:02\tAC\t0.L\tk*\tMANU\r\n";
    ASSERT_EQ(Logger({"convert", text, xml}).Wait(), 0);
    EXPECT_THAT(ReadFile(xml), ::testing::HasSubstr("DC/AC=\"AC\""));
    ASSERT_EQ(Logger({"convert", xml, back}).Wait(), 0);
    EXPECT_EQ(ReadFile(back), ReadFile(text));
}

// Help, version and convert start on the core alone: the loader is asked
// which libraries the command loads (it lists them and runs nothing).
TEST(MeterdeskLog, TheCommandUsersCallLoadsNeitherQtNorTheHardwareLibraries) {
    FILE* loader = popen("LD_TRACE_LOADED_OBJECTS=1 '" MD_LOGGER_PATH "'", "r");
    ASSERT_NE(loader, nullptr);
    std::string libraries;
    for (char line[512]; std::fgets(line, sizeof line, loader) != nullptr;) {
        libraries += line;
    }
    EXPECT_EQ(pclose(loader), 0);
    EXPECT_THAT(libraries, ::testing::HasSubstr("libc.so"));
    for (const char* library : {"libQt6", "libhidapi", "libudev", "libsqlite3", "libmosquitto"}) {
        EXPECT_THAT(libraries, ::testing::Not(::testing::HasSubstr(library)));
    }
}

TEST(MeterdeskLog, ConvertSaysWhyItCannotLoadAndEndsCleanlyOnAHugeFile) {
    const std::string out = TempPath("never.xml");
    Logger missing({"convert", TempPath("missing.txt"), out});
    EXPECT_EQ(missing.Wait(), 1);
    EXPECT_THAT(missing.Errors(), ::testing::HasSubstr("does not exist"));
    const std::string bad = TempPath("bad.txt");
    std::ofstream(bad, std::ios::binary) << "h\r\n1\r\nx\tDC\r\n";
    Logger row({"convert", bad, out});
    EXPECT_EQ(row.Wait(), 1);
    EXPECT_THAT(row.Errors(), ::testing::HasSubstr("line 3 is not a row"));

    // A sparse file of 100 GB is read a window at a time: its first bytes
    // already tell that it is no data packet. One line and status 1, and
    // neither the whole file read nor memory for it.
    const std::string huge = TempPath("huge.xml");
    const int fd = open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{100} << 30), 0);
    close(fd);
    Logger tooLarge({"convert", huge, out});
    EXPECT_EQ(tooLarge.Wait(), 1);
    EXPECT_THAT(tooLarge.Errors(),
                ::testing::HasSubstr("is not a data packet (fault near byte 0)"));
    EXPECT_EQ(std::count(tooLarge.Errors().begin(), tooLarge.Errors().end(), '\n'), 1);
    // The same when the rows would go straight into a text file.
    Logger toText({"convert", huge, TempPath("never.txt")});
    EXPECT_EQ(toText.Wait(), 1);
    EXPECT_EQ(toText.Errors(), tooLarge.Errors());
    EXPECT_NE(access(TempPath("never.txt").c_str(), F_OK), 0);
    unlink(huge.c_str());
    EXPECT_NE(access(out.c_str(), F_OK), 0);
}

TEST(MeterdeskLog, InterruptWritesACompleteOutputFile) {
    sim::PtyEndpoint pty;
    const std::string output = TempPath("interrupted.xml");
    Logger logger({"--port", pty.DevicePath(), "--output", output});
    sim::VirtualMeter meter(sim::Scenario::Steady);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (logger.Lines().size() < 4 && std::chrono::steady_clock::now() < deadline) {
        const auto bytes = meter.NextBytes();
        pty.Write(bytes.data(), bytes.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    logger.Signal(SIGINT);
    ASSERT_EQ(logger.Wait(), 0) << logger.Errors();
    record::MeasurementTable table;
    ASSERT_TRUE(record::LoadTable(record::LocalFiles(), output, table, false).ok);
    EXPECT_EQ(table.RowCount() + 1, logger.Lines().size());
}

// The replug: the port's name is a link, re-pointed at a new pty.
TEST(MeterdeskLog, APortThatVanishesIsWaitedForAndLoggingGoesOnWithEveryFrameAfterItsReturn) {
    namespace fs = std::filesystem;
    const std::string port = TempPath("replugged_port");
    auto pty = std::make_unique<sim::PtyEndpoint>();
    fs::remove(port);
    fs::create_symlink(pty->DevicePath(), port);
    Logger logger({"--port", port});
    const auto until = [&logger](const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && !logger.Exited() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    };
    const auto says = [&logger](const char* text) {
        return logger.Errors().find(text) != std::string::npos;
    };
    sim::VirtualMeter meter(sim::Scenario::Wander);
    ASSERT_TRUE(until([&] {
        const auto bytes = meter.NextBytes();
        pty->Write(bytes.data(), bytes.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return logger.Lines().size() > 3;
    }));

    pty->Hangup();
    ASSERT_TRUE(until([&] { return says("has gone away"); })) << logger.Errors();
    const std::size_t rowsBefore = logger.Lines().size() - 1;
    // The name leads nowhere before the old pty goes: a pty made meanwhile by
    // a test running beside this one may take the old one's number.
    fs::create_symlink(port + ".absent", port + ".new");
    fs::rename(port + ".new", port);
    pty.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(600)); // a few retries find nothing
    pty = std::make_unique<sim::PtyEndpoint>();
    fs::create_symlink(pty->DevicePath(), port + ".new");
    fs::rename(port + ".new", port);
    ASSERT_TRUE(until([&] { return says("is back"); })) << logger.Errors();

    // Each frame ends in LF, which opens the next: the stream starts with one.
    sim::VirtualMeter after(sim::Scenario::Sweep);
    std::string sent{"\n"};
    pty->Write(reinterpret_cast<const std::uint8_t*>(sent.data()), sent.size());
    for (int i = 0; i < 10; ++i) {
        const auto bytes = after.NextBytes();
        pty->Write(bytes.data(), bytes.size());
        sent.append(bytes.begin(), bytes.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::vector<std::string> values = DecodedValues(sent);
    ASSERT_EQ(values.size(), 10U);
    ASSERT_TRUE(until([&] { return logger.Lines().size() >= 1 + rowsBefore + values.size(); }))
        << logger.Errors();
    logger.Signal(SIGINT);
    ASSERT_EQ(logger.Wait(), 0) << logger.Errors();
    const auto lines = logger.Lines();
    ASSERT_EQ(lines.size(), 1 + rowsBefore + values.size()); // no row for the gap
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string& line = lines[1 + rowsBefore + i];
        EXPECT_EQ(ValueOf(line), values[i]) << i;
        EXPECT_THAT(line, ::testing::StartsWith(std::to_string(rowsBefore + i + 1) + "\t"));
    }
    EXPECT_EQ(std::count(logger.Errors().begin(), logger.Errors().end(), '\n'), 2)
        << logger.Errors();
    fs::remove(port);
}

// What once replaced the system's null device: a node of our own.
TEST(MeterdeskLog, ConvertOntoADeviceNodeWritesToItAndKeepsIt) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a device node needs root";
    }
    const std::string text = TempPath("to_node.txt");
    const std::string node = TempPath("null_node");
    std::ofstream(text, std::ios::binary) << "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n"
                                             "1\t10:00:01\tDC\t1.00\tV\tAUTO\r\n";
    std::filesystem::remove(node);
    ASSERT_EQ(::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(Logger({"convert", text, node}).Wait(), 0);
    EXPECT_TRUE(std::filesystem::is_character_file(node));
    std::filesystem::remove(node);
}

// A convert stopped while it writes leaves the old file and no temporary one.
TEST(MeterdeskLog, AnInterruptedConvertLeavesNoTemporaryFileBehind) {
    const std::filesystem::path folder = TempPath("interrupted_convert");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::filesystem::path text = folder / "big.txt";
    const std::filesystem::path packet = folder / "big.xml";
    {
        std::ofstream out(text, std::ios::binary);
        out << "No.\tTime\tDC/AC\tValue\tUnit\tAuto\r\n";
        for (int row = 1; row <= 400000; ++row) {
            out << row << "\t10:00:" << (row % 60 < 10 ? "0" : "") << row % 60 << "\tDC\t"
                << row % 5000 << ".0\tV\tAUTO\r\n";
        }
    }
    std::ofstream(packet) << "old";
    const auto temporaries = [&] {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            count += entry.path().filename().string().rfind(".mdsave-", 0) == 0 ? 1 : 0;
        }
        return count;
    };
    Logger convert({"convert", text.string(), packet.string()});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (temporaries() == 0 && !convert.Exited() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (convert.Exited()) {
        GTEST_SKIP() << "the convert finished before its save could be interrupted";
    }
    convert.Signal(SIGINT);
    const int status = convert.Wait();
    EXPECT_EQ(temporaries(), 0U); // however the race between save and signal went
    if (status == 0) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "the save finished before the signal came";
    }
    EXPECT_EQ(status, 128 + SIGINT); // died of the signal
    EXPECT_EQ(ReadFile(packet.string()), "old");
    std::filesystem::remove_all(folder);
}

TEST(MeterdeskLog, FailuresAndBadArgumentsHaveTheirStatus) {
    Logger noPort({"--port", "/dev/meterdesk-no-such-port", "--samples", "1"});
    EXPECT_EQ(noPort.Wait(), 1);
    EXPECT_THAT(noPort.Errors(), ::testing::HasSubstr("/dev/meterdesk-no-such-port"));
    EXPECT_EQ(std::count(noPort.Errors().begin(), noPort.Errors().end(), '\n'), 1);

    Logger bad({"--samples", "many", "--input", "-"});
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_THAT(bad.Errors(), ::testing::HasSubstr("Usage: meterdesk-log"));
    EXPECT_EQ(Logger({"--help"}).Wait(), 0);

    Logger password({"--input", "-", "--mqtt", "mqtt://h/t", "--mqtt-password", "secret"});
    EXPECT_EQ(password.Wait(), 2);
    EXPECT_THAT(password.Errors(), ::testing::HasSubstr("MQTT_PASSWORD"));
    EXPECT_EQ(Logger({"--input", "-", "--mqtt", "mqtt://h/+/t"}).Wait(), 2);
    EXPECT_EQ(Logger({"--input", "-", "--format", "csv"}).Wait(), 2);
}

} // namespace
} // namespace meterdesk
