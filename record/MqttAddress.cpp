#include "record/MqttAddress.h"

namespace meterdesk::record {

std::optional<MqttAddress> ParseMqttAddress(std::string_view url, std::string& error) {
    MqttAddress address;
    if (url.starts_with("mqtts://")) {
        address.tls = true;
        address.port = 8883;
        url.remove_prefix(8);
    } else if (url.starts_with("mqtt://")) {
        url.remove_prefix(7);
    } else {
        error = "the broker's address starts with mqtt:// or mqtts://";
        return std::nullopt;
    }
    const std::size_t slash = url.find('/');
    if (slash == std::string_view::npos || slash + 1 == url.size()) {
        error = "the broker's address ends in /TOPIC";
        return std::nullopt;
    }
    std::string_view authority = url.substr(0, slash);
    address.topic = url.substr(slash + 1);
    if (authority.find('@') != std::string_view::npos) {
        error = "give the MQTT user with --mqtt-user, not in the address";
        return std::nullopt;
    }
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            error = "an IPv6 address in brackets lacks its ]";
            return std::nullopt;
        }
        address.host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            error = "unexpected text after the host";
            return std::nullopt;
        }
        port = rest.empty() ? rest : rest.substr(1);
        if (rest == ":") {
            port = ":";
        }
    } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
        address.host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
        if (port.empty()) {
            port = ":";
        }
    } else {
        address.host = authority;
    }
    if (address.host.empty()) {
        error = "the broker's address names no host";
        return std::nullopt;
    }
    if (!port.empty()) {
        int number = 0;
        for (const char c : port) {
            number = c >= '0' && c <= '9' && number <= 65535 ? number * 10 + (c - '0') : -1;
            if (number < 0) {
                break;
            }
        }
        if (number < 1 || number > 65535) {
            error = "the broker's port is a number from 1 to 65535";
            return std::nullopt;
        }
        address.port = number;
    }
    if (address.topic.find_first_of("+#") != std::string::npos ||
        address.topic.find('\0') != std::string::npos || address.topic.size() > 65535) {
        error = "the topic holds no wildcard (+ or #)";
        return std::nullopt;
    }
    return address;
}

} // namespace meterdesk::record
