#include "platform/http_reply_reader.h"

#include <algorithm>

namespace bf {

namespace {

constexpr std::string_view kHeadTooLong = "Reply headers longer than 16 KiB or 100 lines";
constexpr std::string_view kBodyTooLong = "Reply longer than 1 MiB";
constexpr std::string_view kBadChunk = "Reply with a broken chunk";
// A chunk-size line: the size in hexadecimal and perhaps an extension.
constexpr size_t kMaxChunkLine = 1024;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Where the empty line that ends the head ends; npos while there is none.
size_t HeadEnd(std::string_view text) {
    const size_t lf = text.find("\n\n"), crlf = text.find("\n\r\n");
    if (lf == std::string_view::npos && crlf == std::string_view::npos) return std::string_view::npos;
    return lf < crlf ? lf + 2 : crlf + 3;
}

// "HTTP/1.1 200 OK", "HTTP/1.0 404", "ICY 200 OK": the status; 0 otherwise.
int StatusOf(std::string_view line) {
    if (line.starts_with("HTTP/1.") && line.size() > 8 && line[8] == ' ')
        line.remove_prefix(9);
    else if (line.starts_with("ICY "))
        line.remove_prefix(4);
    else
        return 0;
    if (line.size() < 3 || (line.size() > 3 && line[3] != ' ')) return 0;
    int status = 0;
    for (const char c : line.substr(0, 3)) {
        if (c < '0' || c > '9') return 0;
        status = status * 10 + (c - '0');
    }
    return status >= 100 ? status : 0;
}

// A decimal or hexadecimal number of at most 15 digits; nullopt otherwise.
std::optional<uint64_t> Number(std::string_view digits, int base) {
    if (digits.empty() || digits.size() > 15) return std::nullopt;
    uint64_t value = 0;
    for (const char c : digits) {
        const char l = Lower(c);
        const int digit =
            l >= '0' && l <= '9' ? l - '0' : (base == 16 && l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1);
        if (digit < 0) return std::nullopt;
        value = value * base + static_cast<uint64_t>(digit);
    }
    return value;
}

}  // namespace

std::optional<std::string> HttpReplyReader::header(std::string_view name) const {
    for (const auto& [key, value] : headers_)
        if (SameName(key, name)) return value;
    return std::nullopt;
}

HttpReplyReader::State HttpReplyReader::feed(std::string_view bytes) {
    if (state_ == State::Head) {
        head_.append(bytes);
        return ReadHead();
    }
    return state_ == State::Body ? ReadBody(bytes) : state_;
}

HttpReplyReader::State HttpReplyReader::end() {
    if (state_ == State::Head || (state_ == State::Body && framing_ != Framing::ToTheEnd))
        return Fail(std::string(kCutShort));
    return state_ == State::Body ? Finish() : state_;
}

HttpReplyReader::State HttpReplyReader::ReadHead() {
    for (;;) {
        const size_t end = HeadEnd(head_);
        const size_t length = std::min(end, head_.size());
        const auto lines =
            std::count(head_.begin(), head_.begin() + static_cast<std::ptrdiff_t>(length), '\n') -
            (end == std::string::npos ? 0 : 1);
        if (length > kMaxReplyHeadBytes || static_cast<size_t>(lines) > kMaxReplyHeadLines)
            return Fail(std::string(kHeadTooLong));
        if (end == std::string::npos) return state_;

        const std::string_view head(head_.data(), end);
        size_t at = head.find('\n');
        status_ = StatusOf(Trim(head.substr(0, at)));
        if (status_ == 0) return Fail("Not an HTTP reply");
        headers_.clear();
        while (at + 1 < head.size()) {
            const size_t next = head.find('\n', at + 1);
            const std::string_view line = head.substr(at + 1, next - at - 1);
            at = next;
            const size_t colon = line.find(':');
            if (colon != std::string_view::npos)
                headers_.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        }
        std::string rest = head_.substr(end);
        if (status_ >= 200) {
            head_ = std::string();
            return StartBody(std::move(rest));
        }
        status_ = 0;  // an informational answer: the final one follows
        head_ = std::move(rest);
    }
}

HttpReplyReader::State HttpReplyReader::StartBody(std::string rest) {
    state_ = State::Body;
    if (status_ == 204 || status_ == 304) return Finish();
    const std::optional<std::string> coding = header("Transfer-Encoding");
    const std::optional<std::string> length = header("Content-Length");
    if (coding && std::string_view(*coding).find("chunked") != std::string_view::npos) {
        framing_ = Framing::Chunked;
    } else if (length) {
        const std::optional<uint64_t> bytes = Number(*length, 10);
        if (!bytes) return Fail("Reply with a broken Content-Length");
        if (*bytes > kMaxReplyBodyBytes) return Fail(std::string(kBodyTooLong));
        framing_ = Framing::Length;
        remaining_ = *bytes;
        if (remaining_ == 0) return Finish();
    }
    return ReadBody(rest);
}

HttpReplyReader::State HttpReplyReader::ReadBody(std::string_view bytes) {
    switch (framing_) {
        case Framing::Length: {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, bytes.size()));
            body_.append(bytes.substr(0, take));
            remaining_ -= take;
            return remaining_ == 0 ? Finish() : state_;
        }
        case Framing::ToTheEnd:
            if (body_.size() + bytes.size() > kMaxReplyBodyBytes) return Fail(std::string(kBodyTooLong));
            body_.append(bytes);
            return state_;
        case Framing::Chunked:
            return ReadChunks(bytes);
    }
    return state_;
}

HttpReplyReader::State HttpReplyReader::ReadChunks(std::string_view bytes) {
    size_t at = 0;
    while (at < bytes.size() && state_ == State::Body) {
        if (chunkPart_ == ChunkPart::Data) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, bytes.size() - at));
            body_.append(bytes.substr(at, take));
            at += take;
            remaining_ -= take;
            if (remaining_ == 0) chunkPart_ = ChunkPart::DataEnd;
            continue;
        }
        if (chunkPart_ == ChunkPart::DataEnd) {  // the CR LF after the data
            const char c = bytes[at++];
            if (c == '\n') chunkPart_ = ChunkPart::Size;
            if (c != '\n' && c != '\r') return Fail(std::string(kBadChunk));
            continue;
        }
        // A chunk-size line or a trailer line.
        const size_t lf = bytes.find('\n', at);
        const size_t stop = lf == std::string_view::npos ? bytes.size() : lf;
        line_.append(bytes.substr(at, stop - at));
        if (chunkPart_ == ChunkPart::Trailer)
            trailerBytes_ += stop - at + (lf == std::string_view::npos ? 0 : 1);
        at = stop + 1;
        if (chunkPart_ == ChunkPart::Trailer && trailerBytes_ > kMaxReplyHeadBytes)
            return Fail(std::string(kHeadTooLong));
        if (line_.size() > kMaxChunkLine && chunkPart_ == ChunkPart::Size)
            return Fail(std::string(kBadChunk));
        if (lf == std::string_view::npos) break;
        const std::string_view line = Trim(line_);
        if (chunkPart_ == ChunkPart::Trailer) {
            if (line.empty()) return Finish();
        } else {
            const std::optional<uint64_t> size = Number(Trim(line.substr(0, line.find(';'))), 16);
            if (!size) return Fail(std::string(kBadChunk));
            if (body_.size() + *size > kMaxReplyBodyBytes) return Fail(std::string(kBodyTooLong));
            remaining_ = *size;
            chunkPart_ = *size == 0 ? ChunkPart::Trailer : ChunkPart::Data;
        }
        line_.clear();
    }
    return state_;
}

HttpReplyReader::State HttpReplyReader::Fail(std::string text) {
    state_ = State::Failed;
    error_ = std::move(text);
    head_ = std::string();
    body_ = std::string();
    line_ = std::string();
    return state_;
}

HttpReplyReader::State HttpReplyReader::Finish() {
    state_ = State::Done;
    return state_;
}

}  // namespace bf
