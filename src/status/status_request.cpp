#include "status/status_request.h"

#include <algorithm>
#include <string>

namespace bf {

namespace {

constexpr size_t kLongestMethod = 16;

bool IsMethod(std::string_view text) {
    return !text.empty() && text.size() <= kLongestMethod &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Where the empty line that ends the headers ends; npos while there is none.
size_t HeadEnd(std::string_view text) {
    const size_t lf = text.find("\n\n"), crlf = text.find("\n\r\n");
    if (lf == std::string_view::npos && crlf == std::string_view::npos) return std::string_view::npos;
    return lf < crlf ? lf + 2 : crlf + 3;
}

std::string_view Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 303:
            return "See Other";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 409:
            return "Conflict";
        case 411:
            return "Length Required";
        case 413:
            return "Content Too Large";
        case 415:
            return "Unsupported Media Type";
        case 429:
            return "Too Many Requests";
        case 405:
            return "Method Not Allowed";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The header lines between the request line and the empty line; false when
// one of them is no header.
bool ReadHeaders(std::string_view lines, HttpRequest& request) {
    while (!lines.empty()) {
        const size_t end = lines.find('\n');
        const std::string_view line = Trimmed(lines.substr(0, end));
        lines = end == std::string_view::npos ? std::string_view() : lines.substr(end + 1);
        if (line.empty()) continue;
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) return false;
        std::string name(line.substr(0, colon));
        for (char& c : name) {
            if (c == ' ' || c == '\t') return false;
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        request.headers.emplace_back(std::move(name), std::string(Trimmed(line.substr(colon + 1))));
    }
    return true;
}

}  // namespace

std::optional<std::string_view> HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (key == name) return value;
    return std::nullopt;
}

RequestHead ReadRequestHead(std::string_view text) {
    using S = RequestHeadState;
    // The method, or what has come of it: capital letters up to the first blank.
    const size_t blank = text.find(' ');
    const std::string_view method = text.substr(0, blank);
    if (blank == 0 || !IsMethod(method.empty() ? "A" : method)) return {S::Malformed, {}};
    const size_t end = HeadEnd(text);
    if (end == std::string_view::npos)
        return {text.size() > kMaxRequestHeadBytes ? S::TooLarge : S::Incomplete, {}};
    if (end > kMaxRequestHeadBytes) return {S::TooLarge, {}};

    std::string_view line = text.substr(0, text.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    const size_t second = line.find(' ', blank + 1);
    if (second == std::string_view::npos) return {S::Malformed, {}};
    const std::string_view target = line.substr(blank + 1, second - blank - 1);
    if (!target.starts_with('/') || !line.substr(second + 1).starts_with("HTTP/1."))
        return {S::Malformed, {}};
    const std::string_view place = target.substr(0, target.find('#'));
    const size_t question = place.find('?');
    const std::string_view query = question == std::string_view::npos ? "" : place.substr(question + 1);
    RequestHead read{S::Complete,
                     {std::string(method), std::string(place.substr(0, question)), std::string(query)}};
    const size_t firstEnd = text.find('\n');
    if (!ReadHeaders(text.substr(firstEnd + 1, end - firstEnd - 1), read.request)) return {S::Malformed, {}};
    if (method != "POST") return read;
    const std::optional<std::string_view> length = read.request.header("content-length");
    if (!length) return {S::NoLength, {}};
    if (length->empty() || length->size() > 9 ||
        length->find_first_not_of("0123456789") != std::string_view::npos)
        return {S::Malformed, {}};
    const size_t bytes = std::stoul(std::string(*length));
    if (bytes > kMaxRequestBodyBytes) return {S::BodyTooLarge, {}};
    if (text.size() < end + bytes) return {S::Incomplete, {}};
    read.request.body = std::string(text.substr(end, bytes));
    return read;
}

std::string ComposeHttpReply(const HttpReply& reply) {
    std::string text = "HTTP/1.1 " + std::to_string(reply.status) + " " + std::string(Reason(reply.status)) +
                       "\r\nContent-Type: " + reply.contentType + "\r\nContent-Length: " +
                       std::to_string(reply.bodyPart ? reply.bodyLength : reply.body.size()) +
                       "\r\nConnection: close\r\n";
    for (const auto& [name, value] : reply.headers) text += name + ": " + value + "\r\n";
    text += "\r\n";
    if (!reply.headOnly) text += reply.body;
    return text;
}

}  // namespace bf
