#include "apiserver/request_text.h"

#include <charconv>
#include <iterator>

namespace bf {

namespace {
constexpr std::string_view kMethod = "GET ";
constexpr std::string_view kVersion = " HTTP/1.";

// Where the first " HTTP/1." after "GET " starts; npos when there is none.
size_t VersionAt(std::string_view text) {
    if (!text.starts_with(kMethod)) return std::string_view::npos;
    return text.find(kVersion, kMethod.size());
}
}  // namespace

bool MatchesRequestPattern(std::string_view text) {
    const size_t at = VersionAt(text);
    // The first " HTTP/1." decides: a later one would leave even more bytes
    // after the first, so the first has a byte after it whenever any has.
    return at != std::string_view::npos && at + kVersion.size() < text.size();
}

std::optional<std::string> RequestPath(std::string_view text) {
    if (!MatchesRequestPattern(text)) return std::nullopt;
    const size_t at = VersionAt(text);
    return std::string(text.substr(kMethod.size(), at - kMethod.size()));
}

RequestTextState AssessRequestText(std::string_view text) {
    if (MatchesRequestPattern(text)) return RequestTextState::Request;
    const size_t head = std::min(text.size(), kMethod.size());
    if (text.substr(0, head) != kMethod.substr(0, head)) return RequestTextState::NotARequest;
    if (text.find("\n\n") != std::string_view::npos || text.find("\n\r\n") != std::string_view::npos)
        return RequestTextState::NotARequest;
    if (text.size() > kMaxRequestBytes) return RequestTextState::NotARequest;
    return RequestTextState::Incomplete;
}

std::string ComposeReply(std::string_view body) {
    constexpr std::string_view head =
        "HTTP/1.0 200 OK\r\n"
        "Server: Fernhollow Server Version 1.1\r\n"
        "Content-Type: text/html\r\n"
        "Content-Length: ";
    char length[24];
    char* end = std::to_chars(std::begin(length), std::end(length), body.size()).ptr;
    std::string reply;
    reply.reserve(head.size() + sizeof length + 4 + body.size());
    reply.append(head).append(length, static_cast<size_t>(end - length)).append("\r\n\r\n").append(body);
    return reply;
}

}  // namespace bf
