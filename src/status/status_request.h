#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bf {

// One HTTP request as the status listener read it.
struct HttpRequest {
    std::string method;      // "GET", "POST", ...
    std::string path;        // without the query
    std::string query = {};  // what follows "?", without a fragment
};

struct HttpReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // further headers
    // A body too long to hold at once (a file of megabytes): `bodyLength`
    // bytes that the server reads in parts as the caller takes them, each
    // part up to `most` bytes from `offset` on; nullopt or nothing when it
    // can no longer be read (the caller is then cut off). `body` stays empty.
    std::function<std::optional<std::string>(uint64_t offset, size_t most)> bodyPart = {};
    uint64_t bodyLength = 0;
    // The answer to HEAD: the head as GET's, its Content-Length included,
    // and no byte of the body.
    bool headOnly = false;
};

// The most bytes a request's status line and headers may take.
constexpr size_t kMaxRequestHeadBytes = 8 * 1024;
// A body read in parts is sent this much at a time: one connection holds
// no more of it at once.
constexpr size_t kBodyPartBytes = 64 * 1024;

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
// close, the further headers, an empty line and the body (only the head
// when the body is read in parts or the reply is headOnly).
std::string ComposeHttpReply(const HttpReply& reply);

}  // namespace bf
