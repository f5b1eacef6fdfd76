#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::record {

// mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC (TLS, the system's
// certificate authorities); HOST may be an IPv6 address in brackets.
struct MqttAddress {
    bool tls = false;
    std::string host;
    int port = 1883;
    std::string topic;
};

// The address of a URL; nullopt with `error` set when it is none.
std::optional<MqttAddress> ParseMqttAddress(std::string_view url, std::string& error);

} // namespace meterdesk::record
