#include "record/MqttPublisher.h"

#include "record/RowJson.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <vector>

namespace meterdesk::record {

namespace {

// Rows sent and not yet acknowledged at a time: enough to keep a broker
// across a slow link busy, small enough that the library queues nothing.
constexpr std::size_t kWindow = 100;
constexpr int kKeepAliveSeconds = 30;
constexpr std::chrono::seconds kConnectTimeout{10};
constexpr std::chrono::milliseconds kFirstRetry{500};
constexpr std::chrono::seconds kLongestRetry{30};

std::string Rows(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " row" : " rows");
}

std::string Reason(int code) {
    return code == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(code);
}

} // namespace

MqttPublisher::MqttPublisher(MqttSettings settings, const base::NumberFormat& format)
    : settings_(std::move(settings)), format_(format) {
    settings_.queueRows = std::max<std::size_t>(settings_.queueRows, 1);
    if (!settings_.report) {
        settings_.report = [](const std::string&) {};
    }
    mosquitto_lib_init();
    worker_ = std::thread([this] { Run(); });
}

MqttPublisher::~MqttPublisher() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
    mosquitto_lib_cleanup();
}

void MqttPublisher::Take(const LoggedRow& row) {
    Publish(RowJson(row.table.Row(row.index), row.arrival, format_));
}

void MqttPublisher::Publish(std::string payload) {
    bool firstDrop = false;
    {
        const std::lock_guard lock(mutex_);
        if (queue_.size() >= settings_.queueRows) {
            // The oldest row goes: a lab wants the readings of now.
            queue_.pop_front();
            inFlight_ -= inFlight_ > 0 ? 1 : 0;
            ++tally_.dropped;
            firstDrop = droppedUnreported_++ == 0;
        }
        queue_.push_back({tally_.taken, std::move(payload), 0});
        ++tally_.taken;
    }
    if (firstDrop) {
        settings_.report("MQTT: " + Rows(settings_.queueRows) + " wait for the broker at " +
                         Where() + ", the most it holds: the oldest rows are being dropped");
    }
}

std::size_t MqttPublisher::Flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return queue_.empty(); });
    return queue_.size();
}

MqttPublisher::Tally MqttPublisher::Counts() const {
    const std::lock_guard lock(mutex_);
    Tally tally = tally_;
    tally.waiting = queue_.size();
    return tally;
}

std::string MqttPublisher::Where() const {
    const MqttAddress& address = settings_.address;
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

bool MqttPublisher::WaitFor(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, pause, [this] { return stop_; });
}

void MqttPublisher::Run() {
    std::chrono::milliseconds backoff = kFirstRetry;
    for (;;) {
        Connection(backoff);
        if (!WaitFor(backoff)) {
            return;
        }
        backoff = std::min<std::chrono::milliseconds>(backoff * 2, kLongestRetry);
    }
}

void MqttPublisher::OnConnect(int code) {
    connack_ = code;
    if (code != 0) {
        return;
    }
    if (wasConnected_ || toldUnreachable_) {
        settings_.report("MQTT: connected to " + Where());
    }
    toldUnreachable_ = false;
    std::uint64_t dropped = 0;
    {
        const std::lock_guard lock(mutex_);
        std::swap(dropped, droppedUnreported_);
    }
    if (dropped > 0) {
        settings_.report("MQTT: " + Rows(dropped) + (dropped == 1 ? " was" : " were") +
                         " dropped while the broker was away");
    }
}

void MqttPublisher::OnPublish(int mid) {
    {
        const std::lock_guard lock(mutex_);
        const auto sent = queue_.begin() + static_cast<std::ptrdiff_t>(inFlight_);
        const auto entry = std::find_if(queue_.begin(), sent,
                                        [mid](const Entry& waiting) { return waiting.mid == mid; });
        if (entry == sent) {
            return; // dropped while it was on its way
        }
        queue_.erase(entry);
        --inFlight_;
        ++tally_.acknowledged;
    }
    changed_.notify_all();
}

void MqttPublisher::SendWaiting(mosquitto* client) {
    // The library calls back with its own locks held, so ours is never held
    // while calling it: the rows to send are copied out first.
    std::vector<Entry> batch;
    {
        const std::lock_guard lock(mutex_);
        for (std::size_t i = inFlight_; i < queue_.size() && i < kWindow; ++i) {
            batch.push_back(queue_[i]);
        }
    }
    const std::string& topic = settings_.address.topic;
    for (Entry& entry : batch) {
        if (mosquitto_publish(client, &entry.mid, topic.c_str(),
                              static_cast<int>(entry.payload.size()), entry.payload.data(), 1,
                              false) != MOSQ_ERR_SUCCESS) {
            return; // the loop sees the connection's state next
        }
        const std::lock_guard lock(mutex_);
        const auto at = std::lower_bound(queue_.begin(), queue_.end(), entry.sequence,
                                         [](const Entry& waiting, std::uint64_t sequence) {
                                             return waiting.sequence < sequence;
                                         });
        // Rows sent go in order, so this one is next after those in flight,
        // unless a full queue dropped it meanwhile.
        if (at != queue_.end() && at->sequence == entry.sequence) {
            at->mid = entry.mid;
            ++inFlight_;
        }
    }
}

void MqttPublisher::Connection(std::chrono::milliseconds& backoff) {
    mosquitto* client = mosquitto_new(nullptr, true, this);
    if (client == nullptr) {
        settings_.report("MQTT: cannot make a client: " + Reason(MOSQ_ERR_ERRNO));
        return;
    }
    mosquitto_connect_callback_set(client, [](mosquitto*, void* self, int code) {
        static_cast<MqttPublisher*>(self)->OnConnect(code);
    });
    mosquitto_publish_callback_set(client, [](mosquitto*, void* self, int mid) {
        static_cast<MqttPublisher*>(self)->OnPublish(mid);
    });
    mosquitto_max_inflight_messages_set(client, kWindow);
    if (!settings_.user.empty()) {
        mosquitto_username_pw_set(client, settings_.user.c_str(),
                                  settings_.password ? settings_.password->c_str() : nullptr);
    }
    if (settings_.address.tls) {
        mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    }
    connack_ = -1;
    std::string reason;
    int code = mosquitto_connect_async(client, settings_.address.host.c_str(),
                                       settings_.address.port, kKeepAliveSeconds);
    if (code != MOSQ_ERR_SUCCESS) {
        reason = Reason(code);
    }
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    bool stopped = false;
    while (reason.empty()) {
        code = mosquitto_loop(client, 50, 1);
        {
            const std::lock_guard lock(mutex_);
            stopped = stop_;
        }
        if (stopped) {
            break;
        }
        // A refusal comes as a failed loop too; its own words say more.
        if (connack_ > 0) {
            reason = mosquitto_connack_string(connack_);
        } else if (code != MOSQ_ERR_SUCCESS) {
            reason = Reason(code);
        } else if (connack_ < 0 && std::chrono::steady_clock::now() > deadline) {
            reason = "no answer";
        } else if (connack_ == 0) {
            if (!wasConnected_) {
                wasConnected_ = true;
                backoff = kFirstRetry;
            }
            SendWaiting(client);
        }
    }
    std::size_t held = 0;
    {
        const std::lock_guard lock(mutex_);
        for (Entry& entry : queue_) {
            entry.mid = 0;
        }
        inFlight_ = 0;
        held = queue_.size();
    }
    if (stopped) {
        mosquitto_disconnect(client);
    } else if (wasConnected_) {
        settings_.report("MQTT: lost the broker at " + Where() + " (" + reason + "), " +
                         Rows(held) + " held; reconnecting");
        wasConnected_ = false;
        toldUnreachable_ = true;
    } else if (!toldUnreachable_) {
        settings_.report("MQTT: cannot reach the broker at " + Where() + " (" + reason +
                         "); trying again");
        toldUnreachable_ = true;
    }
    mosquitto_destroy(client);
}

} // namespace meterdesk::record
