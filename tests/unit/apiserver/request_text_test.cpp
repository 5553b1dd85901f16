#include "apiserver/request_text.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

struct PatternCase {
    std::string text;
    std::optional<std::string> path;  // nullopt: not a request
};

class RequestPatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(RequestPatternTest, TakesThePathBetweenGetAndTheFirstVersion) {
    const PatternCase& c = GetParam();
    EXPECT_EQ(MatchesRequestPattern(c.text), c.path.has_value());
    EXPECT_EQ(RequestPath(c.text), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RequestPatternTest,
    ::testing::Values(
        PatternCase{"GET /api/getcurrent.php?id=K HTTP/1.1\r\nHost: a\r\n\r\n", "/api/getcurrent.php?id=K"},
        PatternCase{"GET /x HTTP/1.0", "/x"},
        PatternCase{"GET /x HTTP/1.", std::nullopt},   // nothing after " HTTP/1."
        PatternCase{"get /x HTTP/1.0", std::nullopt},  // the method is case-sensitive
        PatternCase{"GET /x http/1.0", std::nullopt},
        PatternCase{"GET HTTP/1.0", std::nullopt},       // "GET " and " HTTP/1." cannot share the blank
        PatternCase{"GET  HTTP/1.0", ""},                // an empty path
        PatternCase{"GET /a HTTP/1.x HTTP/1.1", "/a"},   // the first version counts
        PatternCase{"GET /a\r\nB HTTP/1.1", "/a\r\nB"},  // CR and LF are ordinary bytes
        PatternCase{" GET /x HTTP/1.0", std::nullopt}, PatternCase{"", std::nullopt}));

struct AssessCase {
    std::string text;
    RequestTextState state;
};

class AssessRequestTextTest : public ::testing::TestWithParam<AssessCase> {};

TEST_P(AssessRequestTextTest, WaitsOnlyForTextsThatCanStillBecomeARequest) {
    EXPECT_EQ(AssessRequestText(GetParam().text), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AssessRequestTextTest,
    ::testing::Values(
        AssessCase{"", RequestTextState::Incomplete}, AssessCase{"G", RequestTextState::Incomplete},
        AssessCase{"GET /api/getcurrent.php?id=K HTT", RequestTextState::Incomplete},
        AssessCase{"GET /x HTTP/1.", RequestTextState::Incomplete},
        AssessCase{"GET /x\r\n", RequestTextState::Incomplete},
        AssessCase{"GET /x HTTP/1.0", RequestTextState::Request},
        AssessCase{"Gx", RequestTextState::NotARequest},
        AssessCase{"get /x HTTP/1.0\r\n", RequestTextState::NotARequest},
        AssessCase{"\x16\x03\x01\x02", RequestTextState::NotARequest},  // a TLS hello
        AssessCase{"GET /x\r\n\r\n", RequestTextState::NotARequest},
        AssessCase{"GET /x\n\n", RequestTextState::NotARequest},
        AssessCase{"GET /" + std::string(kMaxRequestBytes - 5, 'a'), RequestTextState::Incomplete},
        AssessCase{"GET /" + std::string(kMaxRequestBytes - 4, 'a'), RequestTextState::NotARequest}));

TEST(ComposeReplyTest, SendsStatusLineThreeHeadersAndTheBody) {
    EXPECT_EQ(ComposeReply("ERROR"),
              "HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
              "Content-Length: 5\r\n\r\nERROR");
    EXPECT_EQ(ComposeReply(""),
              "HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
              "Content-Length: 0\r\n\r\n");
}

}  // namespace
}  // namespace bf
