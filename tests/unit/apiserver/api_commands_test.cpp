#include "apiserver/api_commands.h"

#include <gtest/gtest.h>

#include "apiserver/request_text.h"
#include "test_station.h"

namespace bf::test {
namespace {

constexpr char kClient[] = "10.0.0.5";
constexpr char kStamp[] = "2026-12-06 12:00:00";
constexpr char kErrorReply[] =
    "HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
    "Content-Length: 5\r\n\r\nERROR";

std::string Get(const std::string& path, const std::string& version = "1.1") {
    return "GET " + path + " HTTP/" + version + "\r\nHost: station\r\nUser-Agent: test\r\n\r\n";
}

class ApiCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        s->state.APIkey = "Key7";
        s->api.rows = {"00 Listening", "00 Listening"};
        s.folder.write(
            "sourcelist.ini",
            "1n:Studio A\r\n1u:http://a.example/live\r\n2n:Studio B\r\n2u:http://b.example/live\r\n"
            "3n:Outside\r\n3u:http://c.example/ob\r\n0n:Backup\r\n0u:http://backup.example/\r\n");
    }
    ApiAnswer Ask(const std::string& text) { return AnswerRequestText(*s, 1, text, kClient); }
    std::string RemoteStatus() { return s->console.lblRemoteStatus.caption; }
    std::string NewestLogLine() {
        const std::string& log = s->console.txtAIR;
        return log.substr(0, log.find("\r\n"));
    }

    TestStation s;
};

TEST_F(ApiCommandsTest, CurrentSourceAnswersTheFourLinesOfTheSourceOnAir) {
    s->console.lblSourceNumber.caption = "2";
    s->console.lblCurrentSource.caption = "U";
    s->console.lblStudio.caption = "Studio B";

    const ApiAnswer answer = Ask(Get("/api/getcurrent.php?id=Key7"));

    EXPECT_EQ(answer.reply,
              "HTTP/1.0 200 OK\r\nServer: Fernhollow Server Version 1.1\r\nContent-Type: text/html\r\n"
              "Content-Length: 48\r\n\r\nSource: 2\r\nURL: U\r\nName: Studio B\r\nVolume: 100\r\n");
    EXPECT_FALSE(answer.failure);
    EXPECT_EQ(s->api.response, "Source: 2\r\nURL: U\r\nName: Studio B\r\nVolume: 100\r\n");
    EXPECT_EQ(RemoteStatus(), std::string(kStamp) + "  NET - 10.0.0.5 - REQUEST CURRENT SOURCE");
    EXPECT_EQ(s->api.rows[1], "01 Transfering: /api/getcurrent.php?id=Key7");
    EXPECT_EQ(s->console.txtAIR, "");  // only set and list are logged
}

TEST_F(ApiCommandsTest, CurrentSourceBeforeTheFirstSwitchReportsTheLabelsAsTheyStart) {
    EXPECT_EQ(Ask(Get("/api/getcurrent.php?id=Key7")).reply,
              ComposeReply("Source: None\r\nURL: None\r\nName: NONE\r\nVolume: 100\r\n"));
}

TEST_F(ApiCommandsTest, MetadataBeforeAnyTitleAnswersTheLabelsFirstText) {
    EXPECT_EQ(Ask(Get("/api/metadata.php?id=Key7")).reply, ComposeReply("None\r\nOK\r\n"));
    EXPECT_EQ(RemoteStatus(), std::string(kStamp) + "  NET - 10.0.0.5 - METADATA REQUEST");
}

TEST_F(ApiCommandsTest, ListingGivesNineSourcesThenTheBackupWithEmptyFieldsForUndefinedOnes) {
    s.folder.write("sourcelist.ini",
                   "; sources\r\n1n:One\r\n1u:http://one/\r\n2u:http://two/\n2n:Two\r"
                   "3n:Three\r\n3u:x\r\n3u:http://three/\r\n0u:http://backup/\r\n0n:Reserve\r\n");

    const ApiAnswer answer = Ask(Get("/api/listsources.php?id=Key7"));

    std::string expected =
        "Source: 1\r\nURL: http://one/\r\nName: One\r\nVolume: 100\r\n"
        "Source: 2\r\nURL: http://two/\r\nName: Two\r\nVolume: 100\r\n"
        "Source: 3\r\nURL: http://three/\r\nName: Three\r\nVolume: 100\r\n";
    for (char n = '4'; n <= '9'; ++n)
        expected += std::string("Source: ") + n + "\r\nURL: \r\nName: \r\nVolume: 100\r\n";
    expected += "Source: BACKUP\r\nURL: http://backup/\r\nName: Reserve\r\nVolume: 100\r\n";
    EXPECT_EQ(answer.reply, ComposeReply(expected));
    EXPECT_EQ(NewestLogLine(), " 2026-12-06 12:00:00  NET - 10.0.0.5 - LIST ALL SOURCES");
    EXPECT_EQ(RemoteStatus(), std::string(kStamp) + "  NET - 10.0.0.5 - LIST ALL SOURCES");
}

TEST_F(ApiCommandsTest, UnreadableSourceListIsAFailureAnsweredWithErrorAndLogged) {
    std::filesystem::remove(s.folder.path() / "sourcelist.ini");

    const ApiAnswer answer = Ask(Get("/api/listsources.php?id=Key7"));

    EXPECT_EQ(answer.reply, kErrorReply);
    ASSERT_TRUE(answer.failure);
    EXPECT_EQ(ApiFailureText(*answer.failure), "File not found\r\n Line of error:30");
    EXPECT_EQ(NewestLogLine(),
              " 2026-12-06 12:00:00  NET - 10.0.0.5 - ERROR File not found Line of error:30");
    EXPECT_NE(s->console.txtAIR.find("LIST ALL SOURCES"), std::string::npos);
    EXPECT_EQ(s->api.response, "ERROR");
}

struct SetSourceCase {
    std::string key;
    std::string path;
    std::string number;  // the character the switch receives
    std::string url;     // what the switch then puts on air
    int16_t onAir;       // the source number on air afterwards
};

class SetSourceTest : public ApiCommandsTest, public ::testing::WithParamInterface<SetSourceCase> {};

TEST_P(SetSourceTest, SwitchesThroughTheManualSwitchWithTheLastCharacterOfThePath) {
    const SetSourceCase& c = GetParam();
    s->state.APIkey = c.key;
    // Any character names a source when the list has lines for it.
    s.folder.write("sourcelist.ini",
                   "2u:http://b.example/live\r\n3u:http://c.example/ob\r\n7u:http://seven.example/"
                   "\r\n=u:http://equals.example/\r\n");

    const ApiAnswer answer = Ask("GET " + c.path + " HTTP/1.0\r\n\r\n");

    const std::string body = "Source: " + c.number + "\r\nOK\r\n";
    EXPECT_EQ(body.size(), 15u);
    EXPECT_EQ(answer.reply, ComposeReply(body));
    // The manual switch found the number in TransferString, which is empty again.
    ASSERT_EQ(s.processes.starts.size(), 1u);
    EXPECT_EQ(s.processes.starts[0].args.at(0), c.url);
    EXPECT_EQ(s->state.CurrentSource, c.onAir);
    EXPECT_EQ(s->api.TransferString, "");
    // Logged after the switch and its two-second overlap.
    EXPECT_EQ(NewestLogLine(), " 2026-12-06 12:00:02  NET - 10.0.0.5 - CHANGE TO SOURCE " + c.number);
    EXPECT_EQ(RemoteStatus(), "2026-12-06 12:00:02  NET - 10.0.0.5 - CHANGE TO SOURCE " + c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SetSourceTest,
    ::testing::Values(
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key7", "7", "http://seven.example/", 7},  // bare prefix
        SetSourceCase{"", "/api/setcurrent.php?id=", "=", "http://equals.example/", 0},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key73", "3", "http://c.example/ob", 3},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key7&source=3", "3", "http://c.example/ob", 3},
        SetSourceCase{"Key7", "/api/setcurrent.php?id=Key712", "2", "http://b.example/live", 2}));

class NoCommandTest : public ApiCommandsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(NoCommandTest, AnswersErrorAndShowsNoCommand) {
    s->api.response = "Source: 1\r\nURL: secret\r\n";
    const ApiAnswer answer = Ask(Get(GetParam()));
    EXPECT_EQ(answer.reply, kErrorReply);
    EXPECT_FALSE(answer.failure);
    EXPECT_EQ(s->api.response, "ERROR");
    EXPECT_EQ(RemoteStatus(), std::string(kStamp) + "  NET - 10.0.0.5 - NO COMMAND");
    EXPECT_EQ(s->api.rows[1], "01 Transfering: " + GetParam());
    EXPECT_EQ(s->state.CurrentSource, -1);
}

INSTANTIATE_TEST_SUITE_P(Paths, NoCommandTest,
                         ::testing::Values("/api/getcurrent.php?id=Key7&x=1", "/api/getcurrent.php?id=key7",
                                           "/api/getcurrent.php?ID=Key7", "/api/listsources.php?id=Key7/",
                                           "/api/metadata.php?id=", "/api/getcurrent.php?id=Key%37",
                                           "/API/setcurrent.php?id=Key73", "/", ""));

TEST_F(ApiCommandsTest, PercentEncodedKeyMatchesOnlyAsTheSameBytes) {
    s->state.APIkey = "a%20b";
    EXPECT_EQ(Ask(Get("/api/metadata.php?id=a%20b")).reply, ComposeReply("None\r\nOK\r\n"));
    s->state.APIkey = "a b";
    EXPECT_EQ(Ask(Get("/api/metadata.php?id=a%20b")).reply, kErrorReply);
}

class NotARequestTest : public ApiCommandsTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(NotARequestTest, GetsAnErrorReplyOfItsOwnAndChangesNothing) {
    s->api.response = "Source: 1\r\nURL: http://private/\r\n";
    const std::string status = RemoteStatus();

    const ApiAnswer answer = Ask(GetParam());

    EXPECT_EQ(answer.reply, kErrorReply);  // never the previous request's body
    EXPECT_EQ(s->api.response, "Source: 1\r\nURL: http://private/\r\n");
    EXPECT_EQ(RemoteStatus(), status);
    EXPECT_EQ(s->api.rows[1], "00 Listening");
}

INSTANTIATE_TEST_SUITE_P(Texts, NotARequestTest,
                         ::testing::Values("get /api/getcurrent.php?id=Key7 HTTP/1.1\r\n\r\n",
                                           "GET /api/getcurrent.php?id=Key7 HTTP/1.",
                                           "POST / HTTP/1.0\r\n\r\n", "rrent.php?id=Key7 HTTP/1.1\r\n", ""));

}  // namespace
}  // namespace bf::test
