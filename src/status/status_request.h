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
    // The headers in their order, names in lower case, values without the
    // blanks around them.
    std::vector<std::pair<std::string, std::string>> headers = {};
    std::string body = {};  // a POST's, Content-Length bytes

    // The value of the first header named `name` (lower case), if any.
    std::optional<std::string_view> header(std::string_view name) const;
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
// The most bytes a POST's body may take (a form of the browser console).
constexpr size_t kMaxRequestBodyBytes = 4 * 1024;

// What the bytes a caller has sent so far amount to.
enum class RequestHeadState {
    Incomplete,    // the headers have not ended yet: wait for more
    Complete,      // a request; what may follow the headers is not read
    Malformed,     // no HTTP request (400)
    TooLarge,      // more than kMaxRequestHeadBytes before the headers ended (431)
    NoLength,      // a POST without a Content-Length (411)
    BodyTooLarge,  // a POST's Content-Length over kMaxRequestBodyBytes (413)
};

struct RequestHead {
    RequestHeadState state = RequestHeadState::Incomplete;
    HttpRequest request;  // when Complete
};

// Reads "METHOD /path?query HTTP/1.x" and the headers up to the empty line
// (lines may end with CR LF or LF alone), and a POST's body of its
// Content-Length. Text that cannot start a request (a method of anything but
// capital letters) is malformed at once, without waiting for more.
RequestHead ReadRequestHead(std::string_view text);

// The whole reply: status line, Content-Type, Content-Length, Connection:
// close, the further headers, an empty line and the body (only the head
// when the body is read in parts or the reply is headOnly).
std::string ComposeHttpReply(const HttpReply& reply);

}  // namespace bf
