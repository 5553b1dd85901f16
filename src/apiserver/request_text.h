#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bf {

// Whether the text has the shape of a GET request: "GET " at its start, a
// " HTTP/1." after that and at least one byte after the " HTTP/1.". CR and
// LF are ordinary bytes here; everything is case-sensitive.
bool MatchesRequestPattern(std::string_view text);

// The bytes between "GET " and the first " HTTP/1." after it, unchanged (no
// decoding, the query stays in); nullopt when the text is not a request.
std::optional<std::string> RequestPath(std::string_view text);

// What the bytes received so far on a connection amount to.
enum class RequestTextState {
    Incomplete,   // may still become a request: wait for more
    Request,      // a request: its path can no longer change
    NotARequest,  // can never become a request, or grew past the limit
};

// The most bytes a connection may send before its text is a request.
constexpr size_t kMaxRequestBytes = 8 * 1024;

// Judges the buffered text of one connection. A text is a request as soon as
// it matches the pattern, since nothing that follows can change its path.
// It is not one when it cannot start with "GET ", when its header section
// has ended (an empty line) without a match, or when it is longer than
// kMaxRequestBytes without a match.
RequestTextState AssessRequestText(std::string_view text);

// The whole reply: status line, the three headers, an empty line, the body.
std::string ComposeReply(std::string_view body);

}  // namespace bf
