#pragma once

#include "app/LoggerOptions.h"
#include "base/Locale.h"
#include "record/MqttPublisher.h"
#include "record/RowSink.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::app {

// Where meterdesk-log's rows go besides the table: standard output in the
// chosen form, and the broker when one is named.
class LoggerSinks {
public:
    // Reads the broker's password (file or MQTT_PASSWORD); `error` is set
    // when it cannot. `format` is read at each row.
    LoggerSinks(const LoggerOptions& options, const base::NumberFormat& format, std::FILE* out,
                std::string& error);

    void Take(const record::LoggedRow& row);
    // At the end: waits a while for the broker's acknowledgements; what
    // went wrong when rows did not reach it.
    std::optional<std::string> Finish();

private:
    std::vector<std::unique_ptr<record::RowSink>> sinks_;
    record::MqttPublisher* mqtt_ = nullptr;
};

// The first line of a password file, without its line end.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

} // namespace meterdesk::app
