#pragma once

#include "record/MqttPublisher.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace meterdesk::app {

// Where meterdesk-log takes the meter's bytes from.
enum class LogSource : std::uint8_t { None, SerialPath, ComNumber, Usb, InputFile };

// How each logged row is printed on standard output.
enum class RowFormat : std::uint8_t { Text, Jsonl };

// What meterdesk-log was asked to do.
struct LoggerOptions {
    enum class Command : std::uint8_t {
        Log,
        Convert,
        RecoverList,
        Recover,
        Doctor,
        Help,
        Version
    } command = Command::Log;
    LogSource source = LogSource::None;
    std::string serialPath;                      // --port PATH
    int comNumber = 0;                           // --com N (1..4)
    std::string inputPath;                       // --input FILE, "-" for standard input
    std::optional<std::int32_t> intervalSeconds; // --interval S
    bool repeat = true;                          // --no-repeat clears it
    std::int32_t limit = 10'000'000;             // --limit N; without it, as "limitless"
    std::optional<long long> samples;            // --samples N
    std::optional<double> durationSeconds;       // --duration S
    std::string outputPath;                      // --output FILE
    std::string convertFrom;                     // convert IN OUT
    std::string convertTo;
    std::string recoverJournal; // recover [JOURNAL] OUT; empty: the newest
    std::string recoverTo;

    // Where each logged row goes besides the table.
    RowFormat format = RowFormat::Text;                 // --format text|jsonl
    std::optional<record::MqttAddress> mqtt;            // --mqtt URL
    std::string mqttUser;                               // --mqtt-user NAME
    std::string mqttPasswordFile;                       // --mqtt-password-file FILE
    std::size_t mqttQueueRows = record::kMqttQueueRows; // --mqtt-queue N

    std::string error; // set when the arguments make no sense
};

LoggerOptions ParseLoggerOptions(const std::vector<std::string>& arguments);
std::string LoggerUsage();

} // namespace meterdesk::app
