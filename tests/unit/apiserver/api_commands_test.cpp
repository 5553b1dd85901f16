#include "apiserver/api_commands.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "test_station.h"

namespace bf::test {
namespace {

constexpr char kStatus[] = "2026-12-06 12:00:00  NET - 10.0.0.5 - ";

std::string Get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: station\r\nUser-Agent: test\r\n\r\n";
}

class ApiCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        s->state.APIkey = "Key7";
        s->api.rows = {"00 Listening", "00 Listening"};
    }
    ApiAnswer Ask(const std::string& text) { return AnswerRequestText(*s, 1, text, "10.0.0.5"); }
    std::string RemoteStatus() { return s->console.lblRemoteStatus.caption; }
    std::string NewestLogLine() { return s->console.txtAIR.substr(0, s->console.txtAIR.find("\r\n")); }

    TestStation s;
};

TEST_F(ApiCommandsTest, CurrentSourceAndMetadataAnswerTheLabelsAsTheyAreNow) {
    EXPECT_EQ(Ask(Get("/api/metadata.php?id=Key7")).reply, ComposeReply("None\r\nOK\r\n"));
    EXPECT_EQ(RemoteStatus(), std::string(kStatus) + "METADATA REQUEST");
    EXPECT_EQ(Ask(Get("/api/getcurrent.php?id=Key7")).reply,
              ComposeReply("Source: None\r\nURL: None\r\nName: NONE\r\nVolume: 100\r\n"));
    s->console.lblSourceNumber.caption = "2";
    s->console.lblCurrentSource.caption = "U";
    s->console.lblStudio.caption = "Studio B";

    const ApiAnswer answer = Ask(Get("/api/getcurrent.php?id=Key7"));

    EXPECT_EQ(answer.reply,
              "HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
              "Content-Length: 48\r\n\r\nSource: 2\r\nURL: U\r\nName: Studio B\r\nVolume: 100\r\n");
    EXPECT_FALSE(answer.failure);
    EXPECT_EQ(s->api.response, "Source: 2\r\nURL: U\r\nName: Studio B\r\nVolume: 100\r\n");
    EXPECT_EQ(RemoteStatus(), std::string(kStatus) + "REQUEST CURRENT SOURCE");
    EXPECT_EQ(s->api.rows[1], "01 Transfering: /api/getcurrent.php?id=Key7");
    EXPECT_EQ(s->console.txtAIR, "");  // only set and list are logged
}

TEST_F(ApiCommandsTest, ListingGivesNineSourcesThenTheBackupWithEmptyFieldsForUndefinedOnes) {
    s.folder.write("sourcelist.ini",
                   "; sources\r\n1n:One\r\n1u:http://one/\r\n2u:http://two/\n2n:Two\r"
                   "3n:Three\r\n3u:x\r\n3u:http://three/\r\n0u:http://backup/\r\n0n:Reserve\r\n");
    std::string expected =
        "Source: 1\r\nURL: http://one/\r\nName: One\r\nVolume: 100\r\n"
        "Source: 2\r\nURL: http://two/\r\nName: Two\r\nVolume: 100\r\n"
        "Source: 3\r\nURL: http://three/\r\nName: Three\r\nVolume: 100\r\n";
    for (char n = '4'; n <= '9'; ++n)
        expected += std::string("Source: ") + n + "\r\nURL: \r\nName: \r\nVolume: 100\r\n";
    expected += "Source: BACKUP\r\nURL: http://backup/\r\nName: Reserve\r\nVolume: 100\r\n";

    EXPECT_EQ(Ask(Get("/api/listsources.php?id=Key7")).reply, ComposeReply(expected));
    EXPECT_EQ(NewestLogLine(), " " + std::string(kStatus) + "LIST ALL SOURCES");
    EXPECT_EQ(RemoteStatus(), std::string(kStatus) + "LIST ALL SOURCES");
}

TEST_F(ApiCommandsTest, FailureIsLoggedReturnedAndAnsweredWithError) {
    const ApiAnswer answer = Ask(Get("/api/listsources.php?id=Key7"));  // no sourcelist.ini

    EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
    ASSERT_TRUE(answer.failure);
    EXPECT_EQ(ApiFailureText(*answer.failure), "File not found\r\n Line of error:30");
    EXPECT_EQ(NewestLogLine(), " " + std::string(kStatus) + "ERROR File not found Line of error:30");
    EXPECT_EQ(CountOf(s->console.txtAIR, "LIST ALL SOURCES"), 1u);
    EXPECT_EQ(s->api.response, "ERROR");
}

TEST_F(ApiCommandsTest, TextsWithoutACommandGetErrorNeverAnotherRequestsBody) {
    const std::string secret = "Source: 1\r\nURL: http://private/\r\n";
    for (const std::string path :
         {"/api/getcurrent.php?id=Key7&x=1", "/api/getcurrent.php?id=key7", "/api/getcurrent.php?ID=Key7",
          "/api/listsources.php?id=Key7/", "/api/metadata.php?id=", "/api/getcurrent.php?id=Key%37",
          "/API/setcurrent.php?id=Key73", "/", ""}) {
        SCOPED_TRACE(path);
        s->api.response = secret;
        const ApiAnswer answer = Ask(Get(path));
        EXPECT_EQ(answer.reply, ComposeReply("ERROR"));
        EXPECT_FALSE(answer.failure);
        EXPECT_EQ(s->api.response, "ERROR");
        EXPECT_EQ(RemoteStatus(), std::string(kStatus) + "NO COMMAND");
        EXPECT_EQ(s->api.rows[1], "01 Transfering: " + path);
    }
    // A text that is not a request changes nothing else.
    s->console.lblRemoteStatus.caption = s->api.rows[1] = "before";
    for (const std::string text :
         {"get /api/getcurrent.php?id=Key7 HTTP/1.1\r\n\r\n", "GET /api/getcurrent.php?id=Key7 HTTP/1.",
          "POST / HTTP/1.0\r\n\r\n", "rrent.php?id=Key7 HTTP/1.1\r\n", ""}) {
        SCOPED_TRACE(text);
        s->api.response = secret;
        EXPECT_EQ(Ask(text).reply, ComposeReply("ERROR"));
        EXPECT_EQ(s->api.response + "|" + RemoteStatus() + "|" + s->api.rows[1], secret + "|before|before");
    }
    EXPECT_EQ(s->state.CurrentSource, -1);
}

struct SetSourceCase {
    std::string key, path;
    std::string number;  // the character the switch receives
    std::string url;     // what the switch then puts on air; empty: refused
    int16_t onAir;
};

class SetSourceTest : public ApiCommandsTest, public ::testing::WithParamInterface<SetSourceCase> {};

TEST_P(SetSourceTest, SwitchesThroughTheManualSwitchWithTheLastCharacterOfThePath) {
    const SetSourceCase& c = GetParam();
    s->state.APIkey = c.key;
    // Any character names a source when the list has lines for it.
    s.folder.write("sourcelist.ini",
                   "2u:http://b.example/live\r\n3u:http://c.example/ob\r\n"
                   "7u:http://seven.example/\r\n=u:http://equals.example/\r\n");

    const bool refused = c.url.empty();
    EXPECT_EQ(Ask("GET " + c.path + " HTTP/1.0\r\n\r\n").reply,
              ComposeReply(refused ? "ERROR" : "Source: " + c.number + "\r\nOK\r\n"));
    // The manual switch found the number in TransferString, which is empty again.
    ASSERT_EQ(s.processes.starts.size(), refused ? 0u : 1u);
    if (!refused) {
        EXPECT_EQ(s.processes.starts[0].args.at(0), c.url);
    }
    EXPECT_EQ(s->state.CurrentSource, c.onAir);
    EXPECT_EQ(s->api.TransferString, "");
    EXPECT_EQ(CountOf(s->console.txtAIR, "NO PLAYABLE URL (SOURCE " + c.number + ")"), refused ? 1u : 0u);
    // Logged after the switch and its two-second overlap.
    const std::string at = refused ? "2026-12-06 12:00:00" : "2026-12-06 12:00:02";
    EXPECT_EQ(NewestLogLine(), " " + at + "  NET - 10.0.0.5 - CHANGE TO SOURCE " + c.number);
    EXPECT_EQ(RemoteStatus(), at + "  NET - 10.0.0.5 - CHANGE TO SOURCE " + c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SetSourceTest,
    ::testing::Values(
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key7", "7", "http://seven.example/", 7},  // bare prefix
        SetSourceCase{"", "/api/setcurrent.php?id=", "=", "http://equals.example/", 0},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key73", "3", "http://c.example/ob", 3},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key7&source=3", "3", "http://c.example/ob", 3},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key712", "2", "http://b.example/live", 2},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key7/", "/", "", -1},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key7x", "x", "", -1}));

}  // namespace
}  // namespace bf::test
