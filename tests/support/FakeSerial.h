#pragma once

#include "link/SerialPort.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace meterdesk::testing {

// What happens on the fake serial line, shared by every port the platform
// makes: what was opened and programmed, and the bytes waiting to be read.
struct FakeSerialLine {
    std::vector<std::string> opened;
    std::vector<link::LineControl> programmed;
    std::vector<std::pair<bool, bool>> purges;
    std::deque<std::uint8_t> incoming;
    link::OpenResult nextOpen; // what the next Open returns
    bool gone = false;         // the device has vanished
    bool isOpen = false;
    int closes = 0;
    std::vector<std::size_t> readCapacities;

    void Send(const std::vector<std::uint8_t>& bytes) {
        incoming.insert(incoming.end(), bytes.begin(), bytes.end());
    }
};

class FakeSerialPort final : public link::SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeSerialLine> line) : line_(std::move(line)) {}
    link::OpenResult Open(const std::string& devicePath) override {
        line_->opened.push_back(devicePath);
        line_->isOpen = line_->nextOpen.Opened();
        return line_->nextOpen;
    }
    void Close() override {
        line_->isOpen = false;
        ++line_->closes;
    }
    void SetLineControl(const link::LineControl& line) override {
        line_->programmed.push_back(line);
    }
    void Purge(bool input, bool output) override {
        line_->purges.emplace_back(input, output);
        if (input) {
            line_->incoming.clear();
        }
    }
    void SetQueueSizes(std::uint16_t, std::uint16_t) override {}
    link::ReadResult ReadQueued(std::uint8_t* buffer, std::size_t capacity) override {
        line_->readCapacities.push_back(capacity);
        if (line_->gone) {
            return {0, true};
        }
        const std::size_t n = std::min(capacity, line_->incoming.size());
        std::copy_n(line_->incoming.begin(), n, buffer);
        line_->incoming.erase(line_->incoming.begin(),
                              line_->incoming.begin() + static_cast<std::ptrdiff_t>(n));
        return {n, false};
    }

private:
    std::shared_ptr<FakeSerialLine> line_;
};

// A timer that ticks when the test says so.
struct FakeTimerState {
    std::function<void()> tick;
    std::uint16_t period = 0;
    bool active = false;
    int starts = 0;
};

class FakePollTimer final : public link::PollTimer {
public:
    explicit FakePollTimer(std::shared_ptr<FakeTimerState> state) : state_(std::move(state)) {}
    void Start(std::uint16_t periodMs, std::function<void()> tick) override {
        state_->tick = std::move(tick);
        state_->period = periodMs;
        state_->active = true;
        ++state_->starts;
    }
    void Stop() override { state_->active = false; }
    bool Active() const override { return state_->active; }

private:
    std::shared_ptr<FakeTimerState> state_;
};

// COMn is /dev/ttyFAKEn-1, or what the test set.
class FakePortDirectory final : public link::PortDirectory {
public:
    std::string DevicePath(const std::string& portName) override {
        if (const auto found = paths.find(portName); found != paths.end()) {
            return found->second;
        }
        return "/dev/ttyFAKE" + std::to_string(portName.back() - '1');
    }
    std::map<std::string, std::string> paths;
};

// A serial platform over one fake line; the timers it makes share `timer`.
struct FakeSerialPlatform {
    std::shared_ptr<FakeSerialLine> line = std::make_shared<FakeSerialLine>();
    std::shared_ptr<FakeTimerState> timer = std::make_shared<FakeTimerState>();
    std::shared_ptr<FakePortDirectory> directory = std::make_shared<FakePortDirectory>();

    link::SerialPlatform Platform() const {
        return {[line = line] { return std::make_unique<FakeSerialPort>(line); },
                [timer = timer] { return std::make_unique<FakePollTimer>(timer); }, directory};
    }
};

} // namespace meterdesk::testing
