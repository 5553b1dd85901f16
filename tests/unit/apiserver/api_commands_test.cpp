#include "apiserver/api_commands.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "test_station.h"

namespace bf::test {
namespace {

std::string Entry(const std::string& number, const std::string& url, const std::string& name) {
    return "Source: " + number + "\r\nURL: " + url + "\r\nName: " + name + "\r\nVolume: 100\r\n";
}

// Source 2 on air; any character names a source when the list has lines for it.
struct ApiStation : TestStation {
    ApiStation() {
        settings().APIkey = "Key7";
        folder.write(
            "sourcelist.ini",
            "; sources\r\n1n:One\r\n1u:http://one/\r\n2u:http://two/\n2n:Two\r3n:Three\r\n3u:x\r\n"
            "3u:http://three/\r\n0u:http://backup/\r\n0n:Reserve\r\nZn:Letter\r\nZu:http://zed/\r\n");
        onAir(2);
    }
    ApiAnswer Ask(const std::string& text) { return AnswerRequestText(**this, text, "10.0.0.5"); }
};

TEST(ApiCommandsTest, EachPathRunsAtMostOneCommandWithItsBodyStatusAndLogLine) {
    std::string listing = Entry("1", "http://one/", "One") + Entry("2", "http://two/", "Two") +
                          Entry("3", "http://three/", "Three");
    for (const char* n : {"4", "5", "6", "7", "8", "9"}) listing += Entry(n, "", "");  // no lines
    listing += Entry("BACKUP", "http://backup/", "Reserve");
    const std::string set = "/api/setcurrent.php?id=";
    // Path, body, remote status (time, suffix), whether it is logged, the source on air after.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, bool, std::string> cases[] = {
        {"/api/getcurrent.php?id=Key7", Entry("2", "http://two/", "Two"), "12:00:00 REQUEST CURRENT SOURCE", 0, "2"},
        {"/api/metadata.php?id=Key7", "None\r\nOK\r\n", "12:00:00 METADATA REQUEST", 0, "2"},
        {"/api/listsources.php?id=Key7", listing, "12:00:00 LIST ALL SOURCES", 1, "2"},
        // Only the last character counts, and the switch comes before the log line.
        {set + "Key713", "Source: 3\r\nOK\r\n", "12:00:00 CHANGE TO SOURCE 3", 1, "3"},
        // A letter names no source, even when the list has lines for it: refused, nothing switched.
        {set + "Key7Z", "ERROR", "12:00:00 CHANGE TO SOURCE Z", 1, "2"},
        // Paths that name no command: exact and case-sensitive.
        {"/api/getcurrent.php?id=Key7&x=1", "ERROR", "12:00:00 NO COMMAND", 0, "2"},
        {"/api/getcurrent.php?id=key7", "ERROR", "12:00:00 NO COMMAND", 0, "2"}};
    // clang-format on
    for (const auto& [path, body, status, logged, onAir] : cases) {
        SCOPED_TRACE(path);
        ApiStation t;
        const ApiAnswer answer = t.Ask("GET " + path + " HTTP/1.1\r\nHost: station\r\n\r\n");
        EXPECT_EQ(std::tuple(answer.reply, answer.path, answer.failure.has_value(), t->api.response),
                  std::tuple(ComposeReply(body), path, false, body));
        const std::string shown = "2026-12-06 " + std::string(status).insert(8, "  NET - 10.0.0.5 -");
        EXPECT_EQ(t.console().lblRemoteStatus.caption, shown);
        EXPECT_EQ(t.console().txtAIR.substr(0, shown.size() + 3),
                  logged ? " " + shown + "\r\n" : "");  // newest first
        EXPECT_EQ(std::to_string(t->onAir.CurrentSource()), onAir);
    }
}

TEST(ApiCommandsTest, FailingSwitchIsLoggedReturnedAndAnsweredWithError) {
    ApiStation t;
    t.processes.onCall = [](const std::string&) { throw std::runtime_error("no player"); };
    const ApiAnswer answer = t.Ask("GET /api/setcurrent.php?id=Key71 HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(answer.failure);
    EXPECT_EQ(std::tuple(answer.reply, ApiFailureText(*answer.failure), t->api.response),
              std::tuple(ComposeReply("ERROR"), "no player\r\n Line of error:20", "ERROR"));
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - ERROR no player Line of error:20\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - CHANGE TO SOURCE 1\r\n");
}

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
}  // namespace bf::test
