#pragma once

#include <cstdint>
#include <string>

#include "platform/http_listener.h"

namespace bf {

struct Station;

// The status listener's answer: GET / (the page), /status.json and /metrics;
// 404 for other paths and 405 for other methods. Nothing here changes the
// station.
HttpReply AnswerStatusRequest(const Station& station, const HttpRequest& request);

// Opens the status listener on address:port and logs where it listens, or
// that it could not. Every request runs through RunHandler.
bool OpenStatusListener(Station& station, HttpListener& listener, uint16_t port, const std::string& address);

}  // namespace bf
