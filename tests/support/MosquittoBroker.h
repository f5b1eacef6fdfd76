#pragma once

// A real mosquitto broker on a free loopback port, and a QoS 1 subscriber,
// for the tests of the broker feed.
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace meterdesk::testing {

inline constexpr const char* kBrokerProgram = "/usr/sbin/mosquitto";

// Polls `done` every 10 ms until it holds or `limit` passed.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The broker keeps its sessions on disk across a restart, so a subscriber
// that was away gets what was published meanwhile.
class MosquittoBroker {
public:
    // `user` and `password`: the broker takes only that client.
    explicit MosquittoBroker(const std::string& user = {}, const std::string& password = {}) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("meterdesk_broker_" + std::to_string(getpid()) + "_" +
                   std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(folder_);
        // Started as root, mosquitto runs as its own user, which saves the
        // sessions here.
        std::filesystem::permissions(folder_, std::filesystem::perms::all);
        port_ = FreePort();
        std::ofstream(folder_ / "mosquitto.conf")
            << "listener " << port_ << " 127.0.0.1\n"
            << (user.empty() ? "allow_anonymous true\n"
                             : "allow_anonymous false\npassword_file " +
                                   (folder_ / "passwords").string() + "\n")
            << "persistence true\n"
            << "persistence_location " << folder_.string() << "/\n"
            << "max_queued_messages 100000\n"
            << "log_dest none\n";
        if (!user.empty()) {
            const std::string file = (folder_ / "passwords").string();
            const pid_t maker = fork();
            if (maker == 0) {
                execl("/usr/bin/mosquitto_passwd", "mosquitto_passwd", "-c", "-b", file.c_str(),
                      user.c_str(), password.c_str(), static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            waitpid(maker, &status, 0);
            std::filesystem::permissions(
                file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                          std::filesystem::perms::group_read | std::filesystem::perms::others_read);
        }
    }
    ~MosquittoBroker() {
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    int Port() const { return port_; }

    // Starts the broker and waits until it takes connections.
    bool Start() {
        const std::string config = (folder_ / "mosquitto.conf").string();
        const pid_t test = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // The broker dies with its test: a test ended by a sanitizer
            // leaves no broker holding the test runner's output open.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != test) {
                _exit(127);
            }
            execl(kBrokerProgram, kBrokerProgram, "-c", config.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        return WaitUntil([this] { return Accepts(); }, std::chrono::seconds(15));
    }

    // Ends the broker as a service stop would (it saves its sessions).
    void Stop() {
        if (pid_ <= 0) {
            return;
        }
        kill(pid_, SIGTERM);
        int status = 0;
        if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; },
                       std::chrono::seconds(10))) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }

private:
    static int FreePort() {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        close(probe);
        return ntohs(address.sin_port);
    }
    bool Accepts() const {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool open =
            connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(probe);
        return open;
    }

    std::filesystem::path folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// A QoS 1 subscriber with a session the broker keeps: it reconnects by
// itself and receives what was published while it was away.
class QosOneSubscriber {
public:
    QosOneSubscriber(int port, std::string topic, const std::string& user = {},
                     const std::string& password = {})
        : topic_(std::move(topic)) {
        mosquitto_lib_init();
        const std::string id = "meterdesk-test-" + std::to_string(getpid()) + "-" +
                               std::to_string(reinterpret_cast<std::uintptr_t>(this));
        client_ = mosquitto_new(id.c_str(), false, this);
        mosquitto_connect_callback_set(client_, [](mosquitto* client, void* self, int code) {
            auto* me = static_cast<QosOneSubscriber*>(self);
            if (code == 0) {
                mosquitto_subscribe(client, nullptr, me->topic_.c_str(), 1);
            }
        });
        mosquitto_subscribe_callback_set(client_, [](mosquitto*, void* self, int, int, const int*) {
            auto* me = static_cast<QosOneSubscriber*>(self);
            const std::lock_guard lock(me->mutex_);
            me->subscribed_ = true;
        });
        mosquitto_message_callback_set(
            client_, [](mosquitto*, void* self, const mosquitto_message* message) {
                auto* me = static_cast<QosOneSubscriber*>(self);
                const std::lock_guard lock(me->mutex_);
                me->messages_.emplace_back(static_cast<const char*>(message->payload),
                                           static_cast<std::size_t>(message->payloadlen));
            });
        if (!user.empty()) {
            mosquitto_username_pw_set(client_, user.c_str(), password.c_str());
        }
        mosquitto_reconnect_delay_set(client_, 1, 1, false);
        mosquitto_connect_async(client_, "127.0.0.1", port, 30);
        mosquitto_loop_start(client_);
    }
    ~QosOneSubscriber() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
        mosquitto_lib_cleanup();
    }
    QosOneSubscriber(const QosOneSubscriber&) = delete;
    QosOneSubscriber& operator=(const QosOneSubscriber&) = delete;

    bool Subscribed() {
        const std::lock_guard lock(mutex_);
        return subscribed_;
    }
    std::vector<std::string> Messages() {
        const std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    std::string topic_;
    mosquitto* client_ = nullptr;
    std::mutex mutex_;
    bool subscribed_ = false;
    std::vector<std::string> messages_;
};

} // namespace meterdesk::testing
