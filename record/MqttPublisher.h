#pragma once

#include "base/Locale.h"
#include "record/MqttAddress.h"
#include "record/RowSink.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

struct mosquitto; // the client library's handle

namespace meterdesk::record {

// Rows held while the broker is away: at two or three readings a second
// (what the meter sends) about ten hours, some 15 MB.
inline constexpr std::size_t kMqttQueueRows = 100'000;

struct MqttSettings {
    MqttAddress address;
    std::string user;                    // empty: none
    std::optional<std::string> password; // only with a user
    std::size_t queueRows = kMqttQueueRows;
    // One line for the user (standard error); called on any thread.
    std::function<void(const std::string&)> report;
};

// Publishes each row's JSON object to the topic with QoS 1. Rows wait in a
// bounded queue until the broker acknowledged them; when the broker goes
// away the publisher reconnects and sends again what was not acknowledged
// (at least once, as QoS 1 promises), and when the queue is full the oldest
// row is dropped and the user told. The network runs on a thread of its own,
// which alone touches the client library.
class MqttPublisher final : public RowSink {
public:
    // `format` is read at each row: the user's decimal separator.
    MqttPublisher(MqttSettings settings, const base::NumberFormat& format);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    void Take(const LoggedRow& row) override;
    void Publish(std::string payload);

    // Waits until the broker acknowledged every row taken or `timeout`
    // passed; the rows still unacknowledged.
    std::size_t Flush(std::chrono::milliseconds timeout);

    struct Tally {
        std::uint64_t taken = 0;
        std::uint64_t acknowledged = 0;
        std::uint64_t dropped = 0;
        std::size_t waiting = 0;
    };
    Tally Counts() const;

    // The library's callbacks (C linkage cannot name private members).
    void OnConnect(int code);
    void OnPublish(int mid);

private:
    struct Entry {
        std::uint64_t sequence = 0; // rising, so the queue is sorted by it
        std::string payload;
        int mid = 0; // 0: not sent on the current connection
    };
    void Run();
    // One connection, from connecting to losing it (or being stopped).
    void Connection(std::chrono::milliseconds& backoff);
    void SendWaiting(::mosquitto* client);
    bool WaitFor(std::chrono::milliseconds pause);
    std::string Where() const;

    MqttSettings settings_;
    const base::NumberFormat& format_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> queue_;  // oldest first, until acknowledged
    std::size_t inFlight_ = 0; // the first entries, sent and not acknowledged
    Tally tally_;
    std::uint64_t droppedUnreported_ = 0;
    bool stop_ = false;
    // Worker only.
    int connack_ = -1; // -1: none yet on this connection
    bool wasConnected_ = false;
    bool toldUnreachable_ = false;
    std::thread worker_;
};

} // namespace meterdesk::record
