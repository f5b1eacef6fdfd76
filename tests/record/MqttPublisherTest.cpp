// Scope: the broker feed against a real mosquitto on a loopback port: rows
// in order with QoS 1, a broker restart in the middle, the bounded queue
// with its message, and the broker addresses taken.
#include "record/MqttPublisher.h"

#include "tests/support/MosquittoBroker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>

namespace meterdesk::record {
namespace {

using testing::MosquittoBroker;
using testing::QosOneSubscriber;
using testing::WaitUntil;

constexpr const char* kTopic = "lab/bench1/meter1";

class ReportLines {
public:
    std::function<void(const std::string&)> Sink() {
        return [this](const std::string& line) {
            const std::lock_guard lock(mutex_);
            lines_.push_back(line);
        };
    }
    std::string All() {
        const std::lock_guard lock(mutex_);
        std::string all;
        for (const std::string& line : lines_) {
            all += line + "\n";
        }
        return all;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::string Row(int no) {
    return "{\"no\":" + std::to_string(no) + "}";
}

int NumberOf(const std::string& payload) {
    return std::stoi(payload.substr(6));
}

MqttSettings Settings(const MosquittoBroker& broker, std::size_t queueRows, ReportLines& report) {
    MqttSettings settings;
    settings.address = {false, "127.0.0.1", broker.Port(), kTopic};
    settings.queueRows = queueRows;
    settings.report = report.Sink();
    return settings;
}

std::set<int> Distinct(const std::vector<std::string>& messages) {
    std::set<int> numbers;
    for (const std::string& message : messages) {
        numbers.insert(NumberOf(message));
    }
    return numbers;
}

class MqttFeed : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(broker.Start()) << "mosquitto did not start (scripts/setup installs it)";
        subscriber = std::make_unique<QosOneSubscriber>(broker.Port(), kTopic);
        ASSERT_TRUE(WaitUntil([this] { return subscriber->Subscribed(); }));
    }

    MosquittoBroker broker;
    std::unique_ptr<QosOneSubscriber> subscriber;
    base::NumberFormat format;
    ReportLines report;
};

TEST_F(MqttFeed, RowsBeforeDuringAndAfterABrokerRestartAllArriveInOrder) {
    MqttPublisher publisher(Settings(broker, 1000, report), format);
    for (int no = 1; no <= 20; ++no) {
        publisher.Publish(Row(no));
    }
    ASSERT_TRUE(WaitUntil([&] { return subscriber->Messages().size() >= 20; }));

    broker.Stop();
    for (int no = 21; no <= 40; ++no) {
        publisher.Publish(Row(no));
    }
    ASSERT_TRUE(
        WaitUntil([&] { return report.All().find("lost the broker") != std::string::npos; }));
    ASSERT_TRUE(broker.Start());
    for (int no = 41; no <= 60; ++no) {
        publisher.Publish(Row(no));
    }
    ASSERT_TRUE(WaitUntil([&] { return Distinct(subscriber->Messages()).size() == 60; }))
        << report.All() << subscriber->Messages().size();
    EXPECT_EQ(publisher.Flush(std::chrono::seconds(10)), 0U);

    // At least once, in order: a row may come twice only if it was on its
    // way when the broker went (QoS 1 resends it); the first arrivals keep
    // the order they were published in.
    const std::vector<std::string> messages = subscriber->Messages();
    std::vector<int> first;
    std::set<int> seen;
    for (const std::string& message : messages) {
        const int no = NumberOf(message);
        if (!seen.insert(no).second) {
            EXPECT_LE(no, 20) << "only a row sent before the restart may come again";
        } else {
            first.push_back(no);
        }
    }
    EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));
    RecordProperty("received", static_cast<int>(messages.size()));
    RecordProperty("duplicates", static_cast<int>(messages.size() - first.size()));
    RecordProperty("publisher", report.All());
    const MqttPublisher::Tally tally = publisher.Counts();
    EXPECT_EQ(tally.taken, 60U);
    EXPECT_EQ(tally.acknowledged, 60U);
    EXPECT_EQ(tally.dropped, 0U);
    EXPECT_THAT(report.All(), ::testing::HasSubstr("connected to 127.0.0.1:"));
}

TEST_F(MqttFeed, AFullQueueDropsTheOldestRowsAndSaysSo) {
    MqttPublisher publisher(Settings(broker, 5, report), format);
    publisher.Publish(Row(1));
    ASSERT_TRUE(WaitUntil([&] { return publisher.Counts().acknowledged == 1; }));
    broker.Stop();
    for (int no = 2; no <= 9; ++no) {
        publisher.Publish(Row(no));
    }
    EXPECT_EQ(publisher.Counts().dropped, 3U);
    EXPECT_EQ(publisher.Counts().waiting, 5U);
    EXPECT_THAT(report.All(), ::testing::HasSubstr("the oldest rows are being dropped"));
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitUntil([&] { return Distinct(subscriber->Messages()).size() == 6; }))
        << report.All();
    EXPECT_EQ(Distinct(subscriber->Messages()), (std::set<int>{1, 5, 6, 7, 8, 9}));
    ASSERT_TRUE(WaitUntil([&] {
        return report.All().find("3 rows were dropped") != std::string::npos;
    })) << report.All();
}

TEST(MqttCredentials, TheUsersPasswordGetsInAndAWrongOneIsToldInTheBrokersWords) {
    MosquittoBroker broker("bench1", "s3cret");
    ASSERT_TRUE(broker.Start());
    QosOneSubscriber subscriber(broker.Port(), kTopic, "bench1", "s3cret");
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }));
    const base::NumberFormat format;

    ReportLines refused;
    MqttSettings wrong = Settings(broker, 10, refused);
    wrong.user = "bench1";
    wrong.password = "guess";
    MqttPublisher outsider(std::move(wrong), format);
    outsider.Publish(Row(1));
    ASSERT_TRUE(WaitUntil([&] { return !refused.All().empty(); })) << refused.All();
    EXPECT_THAT(refused.All(), ::testing::HasSubstr("not authorised"));
    EXPECT_EQ(outsider.Counts().waiting, 1U);

    ReportLines quiet;
    MqttSettings right = Settings(broker, 10, quiet);
    right.user = "bench1";
    right.password = "s3cret";
    MqttPublisher member(std::move(right), format);
    member.Publish(Row(2));
    ASSERT_TRUE(WaitUntil([&] { return !subscriber.Messages().empty(); }));
    EXPECT_EQ(subscriber.Messages(), std::vector<std::string>{Row(2)});
    EXPECT_EQ(quiet.All(), "");
}

TEST(MqttAddress, UrlsOfABroker) {
    std::string error;
    const auto plain = ParseMqttAddress("mqtt://broker.lab/lab/bench1/meter1", error);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->tls);
    EXPECT_EQ(plain->host, "broker.lab");
    EXPECT_EQ(plain->port, 1883);
    EXPECT_EQ(plain->topic, "lab/bench1/meter1");
    const auto secure = ParseMqttAddress("mqtts://[fd00::1]:9883/m", error);
    ASSERT_TRUE(secure);
    EXPECT_TRUE(secure->tls);
    EXPECT_EQ(secure->host, "fd00::1");
    EXPECT_EQ(secure->port, 9883);
    EXPECT_EQ(ParseMqttAddress("mqtts://h/t", error)->port, 8883);
    for (const char* bad : {"http://h/t", "mqtt://h", "mqtt://h/", "mqtt://:1883/t", "mqtt://h:0/t",
                            "mqtt://h:65536/t", "mqtt://h:x/t", "mqtt://h:/t", "mqtt://u:p@h/t",
                            "mqtt://h/lab/+/m", "mqtt://h/lab/#", "mqtt://[::1/t"}) {
        error.clear();
        EXPECT_FALSE(ParseMqttAddress(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

} // namespace
} // namespace meterdesk::record
