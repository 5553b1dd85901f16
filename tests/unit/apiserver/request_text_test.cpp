#include "apiserver/request_text.h"

#include <gtest/gtest.h>

namespace bf {
namespace {

TEST(RequestText, TakesThePathBetweenGetAndTheFirstVersionAndWaitsOnlyWhileItCanStillMatch) {
    // Texts in pieces and the commands' paths are the server's and the commands' tests.
    using S = RequestTextState;
    const std::string longest = "GET /" + std::string(kMaxRequestBytes - 5, 'a');
    const std::tuple<std::string, S, std::optional<std::string>> cases[] = {
        {"GET  HTTP/1.0", S::Request, ""},
        {"GET /a HTTP/1.x HTTP/1.1", S::Request, "/a"},   // the first version counts
        {"GET /a\r\nB HTTP/1.1", S::Request, "/a\r\nB"},  // CR and LF are ordinary bytes
        {"GET /x HTTP/1.", S::Incomplete, {}},            // nothing after " HTTP/1." yet
        {"GET HTTP/1.0", S::Incomplete, {}},              // "GET " and " HTTP/1." cannot share the blank
        {"GET /x\r\n", S::Incomplete, {}},
        {longest, S::Incomplete, {}},
        {longest + "a", S::NotARequest, {}},
        {"get /x HTTP/1.0", S::NotARequest, {}},
        {"GET /x\r\n\r\n", S::NotARequest, {}},
        {"GET /x\n\n", S::NotARequest, {}}};
    for (const auto& [text, state, path] : cases) {
        EXPECT_EQ(AssessRequestText(text), state) << text;
        EXPECT_EQ(RequestPath(text), path) << text;
    }
}

}  // namespace
}  // namespace bf
