// Scope: meterdesk-log as a user runs it: over a pseudo-terminal with the
// virtual meter, from a recorded byte stream, with the log rules, converting
// files, stopping on SIGINT, and its exit statuses.
#include "record/DataFiles.h"
#include "record/SafeFile.h"
#include "sim/FrameEncoder.h"
#include "sim/PtyEndpoint.h"
#include "sim/VirtualMeter.h"
#include "tests/support/DecodingChain.h"
#include "tests/support/MosquittoBroker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace meterdesk {
namespace {

// A running meterdesk-log with its standard output and error collected.
class Logger {
public:
    explicit Logger(const std::vector<std::string>& arguments, const std::string& input = {}) {
        int out[2];
        int err[2];
        int in[2];
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(pipe(err), 0);
        EXPECT_EQ(pipe(in), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {out[0], out[1], err[0], err[1], in[0], in[1]}) {
                close(fd);
            }
            std::vector<char*> argv{const_cast<char*>(MD_LOGGER_PATH)};
            for (const std::string& argument : arguments) {
                argv.push_back(const_cast<char*>(argument.c_str()));
            }
            argv.push_back(nullptr);
            execv(MD_LOGGER_PATH, argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        close(in[0]);
        if (!input.empty()) {
            EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        }
        close(in[1]);
        out_ = out[0];
        err_ = err[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
        fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~Logger() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        close(out_);
        close(err_);
    }

    void Drain() {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(out_, buffer, sizeof buffer)) > 0) {
            stdout_.append(buffer, static_cast<std::size_t>(n));
        }
        while ((n = read(err_, buffer, sizeof buffer)) > 0) {
            stderr_.append(buffer, static_cast<std::size_t>(n));
        }
    }
    bool Exited() {
        Drain();
        int status = 0;
        if (status_ < 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            Drain();
        }
        return status_ >= 0;
    }
    int Wait() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!Exited() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status_;
    }
    void Signal(int number) { kill(pid_, number); }
    std::vector<std::string> Lines() {
        Drain();
        std::vector<std::string> lines;
        std::istringstream text(stdout_);
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
        return lines;
    }
    const std::string& Errors() {
        Drain();
        return stderr_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = -1;
    std::string stdout_;
    std::string stderr_;
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
