#include "apiserver/api_commands.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "test_station.h"

namespace bf::test {
namespace {

std::string Get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: station\r\nUser-Agent: test\r\n\r\n";
}

std::string Entry(const std::string& number, const std::string& url, const std::string& name) {
    return "Source: " + number + "\r\nURL: " + url + "\r\nName: " + name + "\r\nVolume: 100\r\n";
}

// Source 2 on air; any character names a source when the list has lines for it.
struct ApiStation : TestStation {
    ApiStation() {
        state().APIkey = "Key7";
        console().lblSourceNumber.caption = "2";
        console().lblCurrentSource.caption = "U";
        console().lblStudio.caption = "Studio B";
        folder.write(
            "sourcelist.ini",
            "; sources\r\n1n:One\r\n1u:http://one/\r\n2u:http://two/\n2n:Two\r3n:Three\r\n3u:x\r\n"
            "3u:http://three/\r\n0u:http://backup/\r\n0n:Reserve\r\nZn:Letter\r\n=u:http://equals/\r\n");
    }
    ApiAnswer Ask(const std::string& text) { return AnswerRequestText(**this, text, "10.0.0.5"); }
};

TEST(ApiCommandsTest, EachPathRunsAtMostOneCommandWithItsBodyStatusAndLogLine) {
    std::string listing = Entry("1", "http://one/", "One") + Entry("2", "http://two/", "Two") +
                          Entry("3", "http://three/", "Three");
    for (const char* n : {"4", "5", "6", "7", "8", "9"}) listing += Entry(n, "", "");  // no lines
    listing += Entry("BACKUP", "http://backup/", "Reserve");
    const std::string set = "/api/setcurrent.php?id=";
    // Key, path, body, remote status (time, suffix), whether it is logged, the URL on air after.
    // clang-format off
    const std::tuple<std::string, std::string, std::string, std::string, bool, std::string> cases[] = {
        {"Key7", "/api/getcurrent.php?id=Key7", Entry("2", "U", "Studio B"), "12:00:00 REQUEST CURRENT SOURCE", 0, "U"},
        {"Key7", "/api/metadata.php?id=Key7", "None\r\nOK\r\n", "12:00:00 METADATA REQUEST", 0, "U"},
        {"Key7", "/api/listsources.php?id=Key7", listing, "12:00:00 LIST ALL SOURCES", 1, "U"},
        // Only the last character counts, and the switch comes before the log line.
        {"Key7", set + "Key71", "Source: 1\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE 1", 1, "http://one/"},
        {"", set, "Source: =\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE =", 1, "http://equals/"},
        {"Key7", set + "Key7&source=3", "Source: 3\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE 3", 1, "http://three/"},
        {"Key7", set + "Key712", "Source: 2\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE 2", 1, "http://two/"},
        // Paths that name no command: exact, case-sensitive, not decoded.
        {"Key7", "/api/getcurrent.php?id=Key7&x=1", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "/api/getcurrent.php?id=key7", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "/api/getcurrent.php?ID=Key7", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "/api/getcurrent.php?id=Key%37", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "/api/listsources.php?id=Key7/", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "/api/metadata.php?id=", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "/API/setcurrent.php?id=Key73", "ERROR", "12:00:00 NO COMMAND", 0, "U"},
        {"Key7", "", "ERROR", "12:00:00 NO COMMAND", 0, "U"}};
    // clang-format on
    for (const auto& [key, path, body, status, logged, onAir] : cases) {
        SCOPED_TRACE(path);
        ApiStation t;
        t.state().APIkey = key;
        const ApiAnswer answer = t.Ask(Get(path));
        EXPECT_EQ(answer.reply, ComposeReply(body));
        EXPECT_EQ(answer.path, path);
        EXPECT_FALSE(answer.failure);
        EXPECT_EQ(t->api.response, body);
        const std::string shown = "2026-12-06 " + std::string(status).insert(8, "  NET - 10.0.0.5 -");
        EXPECT_EQ(t.console().lblRemoteStatus.caption, shown);
        EXPECT_EQ(t.console().txtAIR, logged ? " " + shown + "\r\n" : "");
        EXPECT_EQ(t.console().lblCurrentSource.caption, onAir);
    }
}

TEST(ApiCommandsTest, TextThatIsNoRequestGetsErrorAndChangesNothingElse) {
    ApiStation t;
    t->api.response = "Source: 1\r\nURL: http://private/\r\n";
    for (const std::string text :
         {"get /api/getcurrent.php?id=Key7 HTTP/1.1\r\n\r\n", "rrent.php?id=Key7 HTTP/1.1"}) {
        const ApiAnswer answer = t.Ask(text);
        EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
        EXPECT_FALSE(answer.path);
    }
    EXPECT_EQ(t->api.response + t.console().lblRemoteStatus.caption + t.console().txtAIR,
              "Source: 1\r\nURL: http://private/\r\nNO REMOTE API CALLS MADE");
}

TEST(ApiCommandsTest, SetSourceWithoutAPlayableSourceIsRefusedWithError) {
    for (const std::string last : {"/", "x", "Z"}) {
        ApiStation t;
        EXPECT_EQ(t.Ask(Get("/api/setcurrent.php?id=Key7" + last)).reply, ComposeReply("ERROR"));
        EXPECT_EQ(t.console().txtAIR,
                  " 2026-12-06 12:00:00  NET - 10.0.0.5 - CHANGE TO SOURCE " + last +
                      "\r\n 2026-12-06 12:00:00  SYS - SWITCH REFUSED - NO PLAYABLE URL (SOURCE " + last +
                      ")\r\n");
        EXPECT_TRUE(t.processes.starts.empty());
    }
}

TEST(ApiCommandsTest, FailureIsLoggedReturnedAndAnsweredWithError) {
    ApiStation t;
    t.processes.onCall = [](const std::string&) { throw std::runtime_error("no player"); };
    for (const auto& [path, failure] :
         {std::pair{"setcurrent.php?id=Key71", "no player\r\n Line of error:20"},
          {"listsources.php?id=Key7", "File not found\r\n Line of error:30"}}) {
        const ApiAnswer answer = t.Ask(Get(std::string("/api/") + path));
        EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
        ASSERT_TRUE(answer.failure);
        EXPECT_EQ(ApiFailureText(*answer.failure), failure);
        EXPECT_EQ(t->api.response, "ERROR");
        std::filesystem::remove(t.folder.path() / "sourcelist.ini");  // for the listing's failure
    }
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - ERROR File not found Line of error:30\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - LIST ALL SOURCES\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - ERROR no player Line of error:20\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - CHANGE TO SOURCE 1\r\n");
}

}  // namespace
}  // namespace bf::test
