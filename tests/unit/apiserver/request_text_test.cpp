#include "apiserver/request_text.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

struct TextCase {
    std::string text;
    RequestTextState state;
    std::optional<std::string> path = std::nullopt;  // only for a request
};

class RequestTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(RequestTextTest, TakesThePathBetweenGetAndTheFirstVersionAndWaitsOnlyWhileItCanStillMatch) {
    const TextCase& c = GetParam();
    EXPECT_EQ(AssessRequestText(c.text), c.state);
    EXPECT_EQ(MatchesRequestPattern(c.text), c.path.has_value());
    EXPECT_EQ(RequestPath(c.text), c.path);
}

using S = RequestTextState;
INSTANTIATE_TEST_SUITE_P(
    Texts, RequestTextTest,
    ::testing::Values(
        TextCase{"GET /api/getcurrent.php?id=K HTTP/1.1\r\nHost: a\r\n\r\n", S::Request,
                 "/api/getcurrent.php?id=K"},
        TextCase{"GET /x HTTP/1.0", S::Request, "/x"}, TextCase{"GET  HTTP/1.0", S::Request, ""},
        TextCase{"GET /a HTTP/1.x HTTP/1.1", S::Request, "/a"},   // the first version counts
        TextCase{"GET /a\r\nB HTTP/1.1", S::Request, "/a\r\nB"},  // CR and LF are ordinary bytes
        TextCase{"GET /x HTTP/1.", S::Incomplete},                // nothing after " HTTP/1." yet
        TextCase{"GET HTTP/1.0", S::Incomplete},  // "GET " and " HTTP/1." cannot share the blank
        TextCase{"GET /x http/1.0", S::Incomplete}, TextCase{"", S::Incomplete}, TextCase{"G", S::Incomplete},
        TextCase{"GET /x\r\n", S::Incomplete}, TextCase{"get /x HTTP/1.0", S::NotARequest},
        TextCase{" GET /x HTTP/1.0", S::NotARequest}, TextCase{"Gx", S::NotARequest},
        TextCase{"\x16\x03\x01\x02", S::NotARequest},  // a TLS hello
        TextCase{"GET /x\r\n\r\n", S::NotARequest}, TextCase{"GET /x\n\n", S::NotARequest},
        TextCase{"GET /" + std::string(kMaxRequestBytes - 5, 'a'), S::Incomplete},
        TextCase{"GET /" + std::string(kMaxRequestBytes - 4, 'a'), S::NotARequest}));

TEST(ComposeReplyTest, IsTheStatusLineTheThreeHeadersAndTheBody) {
    EXPECT_EQ(ComposeReply("ERROR"),
              "HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
              "Content-Length: 5\r\n\r\nERROR");
}

}  // namespace
}  // namespace bf
