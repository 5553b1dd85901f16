#include "apiserver/api_commands.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "schedule/event_tick.h"
#include "sources/on_air.h"
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
        settings().APIallowed = true;
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
    const std::string set = "/api/setcurrent.php?id=", mode = "/api/setmode.php?id=Key7";
    const std::string leave = "/api/leavebackup.php?id=Key7", restart = "/api/restartplayer.php?id=Key7";
    // Whether the backup stands in for source 2 first, path, body, remote status (time, suffix), whether it
    // is logged, the source on air after on its slot, and the mode and failover when not automatic and
    // normal.
    // clang-format off
    const std::tuple<bool, std::string, std::string, std::string, bool, std::string> cases[] = {
        {0, "/api/getcurrent.php?id=Key7", Entry("2", "http://two/", "Two"), "12:00:00 REQUEST CURRENT SOURCE", 0, "2@1"},
        {0, "/api/metadata.php?id=Key7", "None\r\nOK\r\n", "12:00:00 METADATA REQUEST", 0, "2@1"},
        {0, "/api/listsources.php?id=Key7", listing, "12:00:00 LIST ALL SOURCES", 1, "2@1"},
        // Only the last character counts, and the switch comes before the log line.
        {0, set + "Key713", "Source: 3\r\nOK\r\n", "12:00:00 CHANGE TO SOURCE 3", 1, "3@2"},
        // A letter names no source, even when the list has lines for it: refused, nothing switched.
        {0, set + "Key7Z", "ERROR", "12:00:00 CHANGE TO SOURCE Z", 1, "2@1"},
        {0, mode + "&mode=manual", "Mode: MANUAL\r\nOK\r\n", "12:00:00 SET MODE MANUAL", 1, "2@1 MANUAL"},
        {0, mode + "&mode=automatic", "Mode: AUTOMATIC\r\nOK\r\n", "12:00:00 SET MODE AUTOMATIC", 1, "2@1"},
        {0, mode + "&mode=Manual", "ERROR", "12:00:00 SET MODE UNKNOWN", 1, "2@1"},
        {0, mode, "ERROR", "12:00:00 SET MODE UNKNOWN", 1, "2@1"},
        // The failover ends and the backup stays, started afresh on slot 1; a restart leaves the failover be.
        {1, leave, "Source: 0\r\nOK\r\n", "12:00:00 LEAVE BACKUP", 1, "0@1"},
        {0, leave, "ERROR", "12:00:00 LEAVE BACKUP", 1, "2@1"},
        {1, restart, "Source: 0\r\nOK\r\n", "12:00:00 RESTART PLAYER", 1, "0@2 failover"},
        {0, restart, "Source: 2\r\nOK\r\n", "12:00:00 RESTART PLAYER", 1, "2@2"},
        // Paths that name no command: exact and case-sensitive.
        {0, "/api/getcurrent.php?id=Key7&x=1", "ERROR", "12:00:00 NO COMMAND", 0, "2@1"},
        {0, "/api/getcurrent.php?id=key7", "ERROR", "12:00:00 NO COMMAND", 0, "2@1"},
        {0, "/api/setmode.php?id=Key7X&mode=manual", "ERROR", "12:00:00 NO COMMAND", 0, "2@1"},
        {0, restart + "/", "ERROR", "12:00:00 NO COMMAND", 0, "2@1"}};
    // clang-format on
    for (const auto& [failover, path, body, status, logged, after] : cases) {
        SCOPED_TRACE(path);
        ApiStation t;
        if (failover) {
            for (int i = 0; i < 2; ++i)
                Observe(*t,
                        air::Verdict{t->onAir.underTest(), air::Verdict::Kind::Failed, "refused", false, {}});
            tmrCheckAndDoEvents_Timer(*t);
            t->log.clear();
        }
        const ApiAnswer answer = t.Ask("GET " + path + " HTTP/1.1\r\nHost: station\r\n\r\n");
        EXPECT_EQ(std::tuple(answer.reply, answer.path, answer.failure.has_value(), t->api.response),
                  std::tuple(ComposeReply(body), path, false, body));
        const std::string shown = "2026-12-06 " + std::string(status).insert(8, "  NET - 10.0.0.5 -");
        EXPECT_EQ(t.console().lblRemoteStatus.caption, shown);
        EXPECT_EQ(t.console().txtAIR.substr(0, shown.size() + 3),
                  logged ? " " + shown + "\r\n" : "");  // newest first
        const OnAirRecord& onAir = t->onAir;
        const std::string failing(kFailoverStateNames[static_cast<size_t>(onAir.failover())]);
        EXPECT_EQ(std::to_string(onAir.CurrentSource()) + "@" + std::to_string(onAir.CurrentMplayer()) +
                      (IsAutomatic(t->schedule) ? "" : " MANUAL") +
                      (failing == "normal" ? "" : " " + failing),
                  after);
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
