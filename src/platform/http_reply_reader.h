#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bf {

// The bounds of every HTTP reply the station reads. A peer may send whatever
// it likes: what goes beyond them fails the fetch instead of growing the
// program.
constexpr size_t kMaxReplyHeadBytes = 16 * 1024;  // status line and headers
constexpr size_t kMaxReplyHeadLines = 100;        // status line and headers
constexpr size_t kMaxReplyBodyBytes = 1024 * 1024;

// Reads one HTTP/1.x reply from the bytes of a connection as they arrive.
// The status line may also be a stream server's "ICY 200 OK". Informational
// answers (1xx) before the final one are skipped. The body ends as the
// headers say: Content-Length, chunked transfer coding, or the end of the
// connection.
class HttpReplyReader {
public:
    enum class State {
        Head,    // the status line and headers have not ended yet
        Body,    // the headers are read; the body is still coming
        Done,    // the whole reply is read
        Failed,  // not a reply, or beyond the bounds: error() says why
    };

    // The error when the connection ended before the reply did.
    static constexpr std::string_view kCutShort = "Connection closed by the server";

    // Takes the next bytes of the connection.
    State feed(std::string_view bytes);
    // The peer has closed the connection: a body that runs to the end is
    // complete, anything else is cut short.
    State end();

    State state() const { return state_; }
    // The final answer's status, set once its headers are read (also when
    // its body then fails).
    int status() const { return status_; }
    // The first header of that name (case-insensitive), trimmed.
    std::optional<std::string> header(std::string_view name) const;
    const std::string& body() const { return body_; }
    const std::string& error() const { return error_; }

private:
    enum class Framing { Length, Chunked, ToTheEnd };
    enum class ChunkPart { Size, Data, DataEnd, Trailer };

    State ReadHead();
    State StartBody(std::string rest);
    State ReadBody(std::string_view bytes);
    State ReadChunks(std::string_view bytes);
    State Fail(std::string text);
    State Finish();

    State state_ = State::Head;
    std::string head_;  // bytes of the head so far
    int status_ = 0;
    std::vector<std::pair<std::string, std::string>> headers_;
    Framing framing_ = Framing::ToTheEnd;
    uint64_t remaining_ = 0;  // bytes of the body or of the chunk still to come
    ChunkPart chunkPart_ = ChunkPart::Size;
    std::string line_;  // a chunk-size or trailer line so far
    size_t trailerBytes_ = 0;
    std::string body_;
    std::string error_;
};

}  // namespace bf
