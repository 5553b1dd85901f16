#include "platform/http_reply_reader.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

// The reply in the pieces given, then perhaps the end of the connection:
// "state status [body or error]".
std::string Read(const std::vector<std::string>& pieces, bool end) {
    HttpReplyReader reader;
    for (const std::string& piece : pieces) reader.feed(piece);
    if (end) reader.end();
    const char* states[] = {"head", "body", "done", "failed"};
    const auto state = reader.state();
    return std::string(states[static_cast<int>(state)]) + " " + std::to_string(reader.status()) + " [" +
           (state == HttpReplyReader::State::Failed ? reader.error() : reader.body()) + "]";
}

TEST(HttpReplyReader, ReadsHttpAndIcyRepliesAsFramedAndFailsBeyondItsBounds) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const auto lines = [](size_t n) {
        std::string text;
        for (size_t i = 0; i < n; ++i) text += "X-" + std::to_string(i) + ": a\r\n";
        return text;
    };
    const std::string filler = "X: " + std::string(kMaxReplyHeadBytes - ok.size() - 7, 'a') + "\r\n";
    const std::string megabyte(kMaxReplyBodyBytes, 'b');
    // clang-format off
    const std::tuple<std::vector<std::string>, bool, std::string> cases[] = {
        {{"ICY 200 OK\r\nicy-name: Old\r\n\r\n", "\xff\xfb"}, false, "body 200 [\xff\xfb]"},
        {{"HTTP/1.0 404 Not Found\n", "Content-Length: 4\n\nno", "pe+more"}, false, "done 404 [nope]"},
        {{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n"}, false, "done 204 []"},
        {{ok + "Transfer-Encoding: chunked\r\n\r\n4;x=1\r\nCaf\xe9\r", "\n0\r\nT: 1\r\n\r\n"}, false, "done 200 [Caf\xe9]"},
        {{ok + "\r\n", "to the ", "end"}, true, "done 200 [to the end]"},
        {{ok + "\r\n" + megabyte}, true, "done 200 [" + megabyte + "]"},
        {{ok + lines(kMaxReplyHeadLines - 1) + "\r\n"}, true, "done 200 []"},
        {{ok + filler + "\r\n"}, true, "done 200 []"},
        {{ok + "Content-Length: 5\r\n\r\nabc"}, true, "failed 200 [Connection closed by the server]"},
        {{"HTTP/1.1 200"}, true, "failed 0 [Connection closed by the server]"},
        {{ok + lines(kMaxReplyHeadLines)}, false, "failed 0 [Reply headers longer than 16 KiB or 100 lines]"},
        {{ok + "X: a" + filler}, false, "failed 0 [Reply headers longer than 16 KiB or 100 lines]"},
        {{ok + "\r\n" + megabyte, "b"}, false, "failed 200 [Reply longer than 1 MiB]"},
        {{ok + "Content-Length: 1048577\r\n\r\n"}, false, "failed 200 [Reply longer than 1 MiB]"},
        {{ok + "Transfer-Encoding: chunked\r\n\r\n100001\r\n"}, false, "failed 200 [Reply longer than 1 MiB]"},
        {{ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nabX"}, false, "failed 200 [Reply with a broken chunk]"},
        {{ok + "Content-Length: -1\r\n\r\n"}, false, "failed 200 [Reply with a broken Content-Length]"},
        {{"SOURCE 200 OK\r\n\r\n"}, false, "failed 0 [Not an HTTP reply]"}};
    // clang-format on
    for (const auto& [pieces, end, expected] : cases) {
        const std::string read = Read(pieces, end);
        EXPECT_EQ(read.substr(0, 200), expected.substr(0, 200)) << pieces[0].substr(0, 60);
        EXPECT_EQ(read.size(), expected.size()) << pieces[0].substr(0, 60);
    }
}

}  // namespace
}  // namespace bf
