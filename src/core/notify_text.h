#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace bf {

// A webhook address longer than this is no address the station sends to:
// chat webhooks carry their token in a path of a few hundred bytes.
inline constexpr size_t kNotifyUrlLimit = 2048;

// What may be shown of a webhook's address: "https://host:port", without
// user, password, path or query (a chat webhook's token is in its path).
// nullopt for anything but an http:// or https:// address with a host.
std::optional<std::string> NotifyTarget(std::string_view url);

// The station's name in its messages: its folder's ("/srv/radio/breakfast"
// is "breakfast").
std::string StationName(const std::filesystem::path& folder);

// One message to the webhook: a trouble beginning or ending. `text` is the
// sentence a person reads; the JSON document carries every field.
struct Notification {
    std::string station;
    std::string event;  // "failover", "return", "silence", ... "test"
    bool begins = true;
    int16_t source = -1;
    std::string name;
    std::string reason;
    LocalTime at;
    std::string text;
};

// "2026-12-06T12:00:00+01:00": the local time with its offset from UTC.
std::string Rfc3339(const LocalTime& at);

// {"station":..,"event":..,"state":"begin"|"end","source":N,"name":..,
// "reason":..,"time":..,"text":..}
std::string NotificationJson(const Notification& n);

}  // namespace bf
