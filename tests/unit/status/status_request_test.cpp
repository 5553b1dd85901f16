#include "status/status_request.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

TEST(StatusRequestText, ReadsMethodAndPathOnceTheHeadersEndAndRefusesWhatCannotBeARequestAtOnce) {
    using S = RequestHeadState;
    const std::string head = "GET / HTTP/1.1\r\nX: ";
    const std::string longest = head + std::string(kMaxRequestHeadBytes - head.size() - 4, 'a') + "\r\n\r\n";
    const std::tuple<std::string, S, std::string, std::string> cases[] = {
        {"GET /metrics?x=1 HTTP/1.1\r\nHost: a\r\n\r\nbody", S::Complete, "GET", "/metrics"},
        {"POST /#top HTTP/1.0\n\n", S::Complete, "POST", "/"},
        {longest, S::Complete, "GET", "/"},
        {"", S::Incomplete, "", ""},
        {"GE", S::Incomplete, "", ""},
        {"GET /status.json HTTP/1.1\r\nHost: a\r\n", S::Incomplete, "", ""},
        {"GET /" + std::string(kMaxRequestHeadBytes, 'a'), S::TooLarge, "", ""},
        {"GET / HTTP/1.1\r\nX: a" + longest.substr(head.size()), S::TooLarge, "", ""},
        {"\x16\x03\x01\x02", S::Malformed, "", ""},  // a TLS hello
        {"get / HTTP/1.1\r\n\r\n", S::Malformed, "", ""},
        {" / HTTP/1.1\r\n\r\n", S::Malformed, "", ""},
        {"ABCDEFGHIJKLMNOPQ", S::Malformed, "", ""},
        {"GET http://a/ HTTP/1.1\r\n\r\n", S::Malformed, "", ""},
        {"GET / SIP/2.0\r\n\r\n", S::Malformed, "", ""},
        {"GET /\r\n\r\n", S::Malformed, "", ""}};
    for (const auto& [text, state, method, path] : cases) {
        const RequestHead read = ReadRequestHead(text);
        EXPECT_EQ(std::tuple(read.state, read.request.method, read.request.path),
                  std::tuple(state, method, path))
            << text.substr(0, 40);
    }
}

}  // namespace
}  // namespace bf
