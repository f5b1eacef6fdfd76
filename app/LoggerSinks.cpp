#include "app/LoggerSinks.h"

#include "record/RowJson.h"
#include "record/SafeFile.h"

#include <chrono>
#include <cstdlib>

namespace meterdesk::app {

namespace {

// How long the end of a run waits for the broker to acknowledge what it has.
constexpr std::chrono::seconds kFinalWait{10};

} // namespace

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
    const auto bytes = record::LocalFiles().ReadAll(path, error);
    if (!bytes) {
        error = "cannot read the MQTT password file " + path + ": " + error;
        return std::nullopt;
    }
    std::string password = bytes->substr(0, bytes->find_first_of("\r\n"));
    return password;
}

LoggerSinks::LoggerSinks(const LoggerOptions& options, const base::NumberFormat& format,
                         std::FILE* out, std::string& error) {
    if (options.format == RowFormat::Jsonl) {
        sinks_.push_back(std::make_unique<record::JsonRowSink>(out, format));
    } else {
        sinks_.push_back(std::make_unique<record::TextRowSink>(out));
    }
    if (!options.mqtt) {
        return;
    }
    record::MqttSettings settings;
    settings.address = *options.mqtt;
    settings.user = options.mqttUser;
    settings.queueRows = options.mqttQueueRows;
    settings.report = [](const std::string& line) {
        std::fprintf(stderr, "meterdesk-log: %s\n", line.c_str());
    };
    if (!options.mqttPasswordFile.empty()) {
        settings.password = ReadPasswordFile(options.mqttPasswordFile, error);
        if (!settings.password) {
            return;
        }
    } else if (const char* password = std::getenv("MQTT_PASSWORD");
               password != nullptr && !options.mqttUser.empty()) {
        settings.password = password;
    }
    auto publisher = std::make_unique<record::MqttPublisher>(std::move(settings), format);
    mqtt_ = publisher.get();
    sinks_.push_back(std::move(publisher));
}

void LoggerSinks::Take(const record::LoggedRow& row) {
    for (const auto& sink : sinks_) {
        sink->Take(row);
    }
}

std::optional<std::string> LoggerSinks::Finish() {
    if (mqtt_ == nullptr) {
        return std::nullopt;
    }
    mqtt_->Flush(kFinalWait);
    const record::MqttPublisher::Tally tally = mqtt_->Counts();
    if (tally.waiting == 0 && tally.dropped == 0) {
        return std::nullopt;
    }
    return "MQTT: " + std::to_string(tally.dropped + tally.waiting) + " of " +
           std::to_string(tally.taken) + " rows did not reach the broker (" +
           std::to_string(tally.dropped) + " dropped while it was away, " +
           std::to_string(tally.waiting) + " unacknowledged at the end)";
}

} // namespace meterdesk::app
