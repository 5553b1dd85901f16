#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bf {

// One HTTP request as the listener received it.
struct HttpRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // without the query
};

struct HttpReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // further headers
};

// A small HTTP server: parses requests, hands each to the handler and sends
// its reply. Events run on the event-loop thread; nothing runs while no
// request comes.
class HttpListener {
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    virtual ~HttpListener() = default;

    virtual void setHandler(Handler handler) = 0;
    // Listens on `port` (0: any free port) of `address` (an IP address).
    // Returns whether it now listens.
    virtual bool listen(uint16_t port, const std::string& address) = 0;
    virtual uint16_t localPort() const = 0;
};

}  // namespace bf
