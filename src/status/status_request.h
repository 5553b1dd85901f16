#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bf {

// One HTTP request as the status listener read it.
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

// The most bytes a request's status line and headers may take.
constexpr size_t kMaxRequestHeadBytes = 8 * 1024;

// What the bytes a caller has sent so far amount to.
enum class RequestHeadState {
    Incomplete,  // the headers have not ended yet: wait for more
    Complete,    // a request; what may follow the headers is not read
    Malformed,   // no HTTP request (400)
    TooLarge,    // more than kMaxRequestHeadBytes before the headers ended (431)
};

struct RequestHead {
    RequestHeadState state = RequestHeadState::Incomplete;
    HttpRequest request;  // when Complete
};

// Reads "METHOD /path?query HTTP/1.x" and the headers up to the empty line
// (lines may end with CR LF or LF alone). Text that cannot start a request
// (a method of anything but capital letters) is malformed at once, without
// waiting for more.
RequestHead ReadRequestHead(std::string_view text);

// The whole reply: status line, Content-Type, Content-Length, Connection:
// close, the further headers, an empty line and the body.
std::string ComposeHttpReply(const HttpReply& reply);

}  // namespace bf
