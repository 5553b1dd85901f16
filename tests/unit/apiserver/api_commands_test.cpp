#include "apiserver/api_commands.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "test_station.h"

namespace bf::test {
namespace {

std::string Get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: station\r\nUser-Agent: test\r\n\r\n";
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
    auto entry = [](std::string number, std::string url, std::string name) {
        return "Source: " + number + "\r\nURL: " + url + "\r\nName: " + name + "\r\nVolume: 100\r\n";
    };
    std::string listing = entry("1", "http://one/", "One") + entry("2", "http://two/", "Two") +
                          entry("3", "http://three/", "Three");
    for (const char* n : {"4", "5", "6", "7", "8", "9"}) listing += entry(n, "", "");  // no lines
    listing += entry("BACKUP", "http://backup/", "Reserve");
    const struct {
        const char* key;
        std::string path, body;
        const char* status;  // time and suffix of the remote status
        bool logged;         // the same text as a station log line
        const char* onAir;   // the URL on air afterwards
    } cases[] = {
        {"Key7", "/api/getcurrent.php?id=Key7", entry("2", "U", "Studio B"),
         "12:00:00 REQUEST CURRENT SOURCE", false, "U"},
        {"Key7", "/api/metadata.php?id=Key7", "None\r\nOK\r\n", "12:00:00 METADATA REQUEST", false, "U"},
        {"Key7", "/api/listsources.php?id=Key7", listing, "12:00:00 LIST ALL SOURCES", true, "U"},
        // Only the last character counts, and the switch comes before the log line.
        {"Key7", "/api/setcurrent.php?id=Key71", "Source: 1\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE 1", true,
         "http://one/"},
        {"", "/api/setcurrent.php?id=", "Source: =\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE =", true,
         "http://equals/"},
        {"Key7", "/api/setcurrent.php?id=Key7&source=3", "Source: 3\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE 3",
         true, "http://three/"},
        {"Key7", "/api/setcurrent.php?id=Key712", "Source: 2\r\nOK\r\n", "12:00:02 CHANGE TO SOURCE 2", true,
         "http://two/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ApiStation t;
        t.state().APIkey = c.key;
        const ApiAnswer answer = t.Ask(Get(c.path));
        EXPECT_EQ(answer.reply, ComposeReply(c.body));
        EXPECT_EQ(answer.path, c.path);
        EXPECT_FALSE(answer.failure);
        EXPECT_EQ(t->api.response, c.body);
        const std::string status = "2026-12-06 " + std::string(c.status).insert(8, "  NET - 10.0.0.5 -");
        EXPECT_EQ(t.console().lblRemoteStatus.caption, status);
        EXPECT_EQ(t.console().txtAIR, c.logged ? " " + status + "\r\n" : "");
        EXPECT_EQ(t.console().lblCurrentSource.caption, c.onAir);
    }
}

TEST(ApiCommandsTest, PathsWithoutACommandGetErrorTextsThatAreNoRequestChangeNothingElse) {
    ApiStation t;
    const std::string secret = "Source: 1\r\nURL: http://private/\r\n";
    for (const std::string path :
         {"/api/getcurrent.php?id=Key7&x=1", "/api/getcurrent.php?id=key7", "/api/getcurrent.php?ID=Key7",
          "/api/listsources.php?id=Key7/", "/api/metadata.php?id=", "/api/getcurrent.php?id=Key%37",
          "/API/setcurrent.php?id=Key73", "/", ""}) {
        SCOPED_TRACE(path);
        t->api.response = secret;
        const ApiAnswer answer = t.Ask(Get(path));
        EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
        EXPECT_EQ(answer.path, path);
        EXPECT_EQ(t->api.response + "|" + t.console().lblRemoteStatus.caption,
                  "ERROR|2026-12-06 12:00:00  NET - 10.0.0.5 - NO COMMAND");
    }
    t.console().lblRemoteStatus.caption = "before";
    for (const std::string text :
         {"get /api/getcurrent.php?id=Key7 HTTP/1.1\r\n\r\n", "GET /api/getcurrent.php?id=Key7 HTTP/1.",
          "POST / HTTP/1.0\r\n\r\n", "rrent.php?id=Key7 HTTP/1.1\r\n", ""}) {
        SCOPED_TRACE(text);
        t->api.response = secret;
        const ApiAnswer answer = t.Ask(text);
        EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
        EXPECT_FALSE(answer.path);
        EXPECT_EQ(t->api.response + "|" + t.console().lblRemoteStatus.caption, secret + "|before");
    }
    EXPECT_EQ(t.console().txtAIR + t.console().lblCurrentSource.caption, "U");
}

TEST(ApiCommandsTest, FailureIsLoggedReturnedAndAnsweredWithError) {
    ApiStation t;
    std::filesystem::remove(t.folder.path() / "sourcelist.ini");
    t.processes.onCall = [](const std::string&) { throw std::runtime_error("no player"); };
    for (const auto& [path, failure] :
         {std::pair{"listsources.php?id=Key7", "File not found\r\n Line of error:30"},
          {"setcurrent.php?id=Key71", "no player\r\n Line of error:20"}}) {
        const ApiAnswer answer = t.Ask(Get(std::string("/api/") + path));
        EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
        ASSERT_TRUE(answer.failure);
        EXPECT_EQ(ApiFailureText(*answer.failure), failure);
        EXPECT_EQ(t->api.response, "ERROR");
    }
    EXPECT_EQ(t.console().txtAIR,
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - ERROR no player Line of error:20\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - CHANGE TO SOURCE 1\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - ERROR File not found Line of error:30\r\n"
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - LIST ALL SOURCES\r\n");
}

}  // namespace
}  // namespace bf::test
