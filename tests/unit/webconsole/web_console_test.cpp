#include "webconsole/web_console.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>

#include <deque>

#include "app/user_admin.h"
#include "core/html_text.h"
#include "core/password_hash.h"
#include "fake_tcp_listener.h"
#include "status/status_server.h"
#include "test_station.h"

namespace bf::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Checks wait until the test lets them run: one at a time, the verdicts on the loop.
struct FakeChecker : PasswordChecker {
    bool check(std::string hash, std::string password, std::function<void(bool)> done) override {
        if (waiting.size() >= kMostWaiting) return false;
        waiting.push_back([=] { done(PasswordMatches(hash, password)); });
        return true;
    }
    void runAll() {
        while (!waiting.empty()) {
            auto next = std::move(waiting.front());
            waiting.pop_front();
            next();
        }
    }
    std::deque<std::function<void()>> waiting;
};

// A hash made cheap for the tests: the parameters go with it.
std::string QuickHash(const std::string& password) {
    char hash[crypto_pwhash_STRBYTES];
    EXPECT_EQ(crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_MIN,
                                crypto_pwhash_MEMLIMIT_MIN),
              0);
    return hash;
}

using Headers = std::vector<std::pair<std::string, std::string>>;

struct WebStation : TestStation {
    WebStation() {
        settings().APIkey = "Key7";
        settings().APIallowed = true;
        folder.write("sourcelist.ini",
                     "1n:One\n1u:http://one/\n2n:Two\n2u:http://two/\n3n:Three\n3u:http://three/\n");
        folder.write("users.ini", "alice=operator:" + QuickHash("pw-a") + "\nbob=engineer:" +
                                      QuickHash("pw-b") + "\n# a comment\nEve=operator:x\n");
        web.ReadUsers();
        onAir(2);
    }
    // The reply to a request from `peer` (a login's once its check is done).
    HttpReply Send(std::string method, std::string path, std::string body, Headers headers,
                   std::string peer = "127.0.0.1", const std::function<void()>& meanwhile = {}) {
        HttpRequest request{std::move(method), std::move(path), "", std::move(headers), std::move(body)};
        HttpReply later{0, "", "", {}};
        bool waiting = false;
        std::optional<HttpReply> reply = web.Answer(
            request, peer, [&](const HttpReply& r) { later = r; }, waiting);
        if (meanwhile) meanwhile();  // while the password is checked
        checker.runAll();
        return waiting ? later : reply.value_or(HttpReply{0, "", "", {}});
    }
    static std::string Header(const HttpReply& reply, std::string_view name) {
        for (const auto& [key, value] : reply.headers)
            if (key == name) return value;
        return "";
    }
    // A browser's form from this station's page.
    static Headers Browser(std::string cookie = "") {
        Headers headers = {{"host", "127.0.0.1:9110"},
                           {"origin", "http://127.0.0.1:9110"},
                           {"content-type", "application/x-www-form-urlencoded"}};
        if (!cookie.empty()) headers.emplace_back("cookie", "other=1; " + cookie);
        return headers;
    }
    // The cookie and token of a new session.
    std::pair<std::string, std::string> LogIn(const std::string& user, const std::string& password) {
        const HttpReply reply = Send("POST", "/login", "user=" + user + "&password=" + password, Browser());
        EXPECT_EQ(reply.status, 303) << reply.body;
        const std::string cookie = Header(reply, "Set-Cookie");
        const std::string id = cookie.substr(0, cookie.find(';'));
        const WebSession* session = web.SessionOf({"GET", "/", "", {{"cookie", id}}});
        return {id, session ? session->token : ""};
    }

    FakeChecker checker;
    WebConsole web{**this,
                   checker,
                   {9110,
                    "127.0.0.1",
                    {"radio.example"},
                    {*ParseAddressRange("10.9.0.0/16"), *ParseAddressRange("127.0.0.2")}}};
};

TEST(WebForm, ReadsFormsAndCookiesAndRefusesWhatIsNone) {
    using Form = std::optional<WebForm>;
    const std::tuple<std::string, Form> forms[] = {
        {"source=3&csrf=a%2Bb+c&&", WebForm{{"source", "3"}, {"csrf", "a+b c"}}},
        {"", WebForm{}},
        {"a=%zz", std::nullopt},
        {"a=%4", std::nullopt},
        {"a=1&a=2", std::nullopt},  // which one would count?
        {"novalue", std::nullopt},
        {"a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10&k=11&l=12&m=13&n=14&o=15&p=16&q=17", std::nullopt}};
    for (const auto& [body, form] : forms) EXPECT_EQ(ParseWebForm(body), form) << body;
    const std::tuple<std::string, std::optional<std::string>> cookies[] = {
        {"a=1; bf_session_9110=abc; b=2", "abc"},
        {"bf_session_91100=abc", std::nullopt},
        {"bf_session_9110=abc; bf_session_9110=planted", std::nullopt},
        {"bf_session_9110", std::nullopt}};
    for (const auto& [header, value] : cookies) {
        const std::optional<std::string_view> got = CookieValue(header, "bf_session_9110");
        EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, value) << header;
    }
    EXPECT_EQ(HtmlText("<a href='x'>&\""), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;");
}

TEST(WebSessions, EndIdleAfterTwelveHoursAtLogoutAndWhenTheUserOrRoleGoes) {
    WebSessions sessions;
    const std::string a = sessions.open("alice", WebRole::Operator, 0),
                      b = sessions.open("bob", WebRole::Engineer, 0);
    EXPECT_EQ(a.size(), 64u);
    EXPECT_NE(a, sessions.open("alice", WebRole::Operator, 0)) << "a new id at every login";
    EXPECT_NE(sessions.find(a, 0)->token, sessions.find(b, 0)->token);
    EXPECT_TRUE(sessions.find(a, WebSessions::kIdleSeconds - 1));
    EXPECT_FALSE(sessions.find(b, WebSessions::kIdleSeconds)) << "idle for twelve hours";
    EXPECT_TRUE(sessions.find(a, 2 * WebSessions::kIdleSeconds - 2)) << "each request keeps it alive";
    sessions.close(a);
    EXPECT_FALSE(sessions.find(a, 0));
    const std::string c = sessions.open("carol", WebRole::Engineer, 0),
                      d = sessions.open("dave", WebRole::Operator, 0);
    sessions.keepOnly({{"carol", {WebRole::Operator, "h"}}, {"dave", {WebRole::Operator, "h"}}});
    EXPECT_EQ(std::pair(sessions.find(c, 0) != nullptr, sessions.find(d, 0) != nullptr),
              std::pair(false, true));
}

TEST(LoginBackoff, FromTheFifthWrongPasswordEachTryWaitsTwiceAsLongUpToFifteenMinutes) {
    LoginBackoff backoff;
    // After n wrong passwords in a row: the wait, and whether the n-th is the one said.
    const std::tuple<int, double, bool> rows[] = {{4, 0, false},   {5, 1, true},     {6, 2, false},
                                                  {9, 16, false},  {14, 512, false}, {15, 900, false},
                                                  {30, 900, false}};
    double now = 0;
    int wrong = 0;
    for (const auto& [count, wait, said] : rows) {
        bool saidNow = false;
        while (wrong < count) {
            now += backoff.wait("10.0.0.1", now);
            saidNow = backoff.wrong("10.0.0.1", now);
            ++wrong;
        }
        EXPECT_EQ(std::tuple(backoff.wait("10.0.0.1", now), saidNow), std::tuple(wait, said)) << count;
    }
    EXPECT_EQ(backoff.wait("10.0.0.2", now), 0) << "another client";
    EXPECT_EQ(backoff.wait("10.0.0.1", now + LoginBackoff::kForgetSeconds), 0) << "forgotten";
    backoff.wrong("10.0.0.2", now);
    backoff.right("10.0.0.2");
    for (int i = 0; i < 4; ++i) backoff.wrong("10.0.0.2", now);
    EXPECT_EQ(backoff.wait("10.0.0.2", now), 0) << "a right password starts the count anew";
}

TEST(WebConsole, LogsInFromTheLoopbackOrATrustedProxyOverHttpsAndSlowsWrongPasswords) {
    WebStation w;
    EXPECT_THAT(w.logged, testing::Contains(HasSubstr("users.ini line 4: not NAME=ROLE:HASH")));
    const Headers proxied = {{"host", "radio.example"},
                             {"origin", "https://radio.example"},
                             {"x-forwarded-for", "203.0.113.9, 198.51.100.7"},
                             {"x-forwarded-proto", "https"},
                             {"content-type", "application/x-www-form-urlencoded"}};
    Headers plainProxy = proxied;
    plainProxy[3].second = "http";
    Headers spoofed = WebStation::Browser();
    spoofed.emplace_back("x-forwarded-proto", "https");
    // Headers, peer, password: the status, and the cookie's attributes after its value.
    const std::tuple<Headers, std::string, std::string, int, std::string> rows[] = {
        {WebStation::Browser(), "127.0.0.1", "pw-a", 303, "; Path=/; HttpOnly; SameSite=Strict"},
        {proxied, "10.9.0.1", "pw-a", 303, "; Path=/; HttpOnly; SameSite=Strict; Secure"},
        {plainProxy, "10.9.0.1", "pw-a", 403, ""},
        {spoofed, "127.0.0.1", "pw-a", 403, ""},  // a proxy not named
        // A trusted proxy's own address, forwarding nothing: a caller on the machine.
        {WebStation::Browser(), "127.0.0.2", "pw-a", 303, "; Path=/; HttpOnly; SameSite=Strict"},
        {WebStation::Browser(), "192.0.2.1", "pw-a", 403, ""},
        {WebStation::Browser(), "127.0.0.1", "wrong", 403, ""}};
    for (const auto& [headers, peer, password, status, attributes] : rows) {
        const HttpReply reply = w.Send("POST", "/login", "user=alice&password=" + password, headers, peer);
        const std::string cookie = WebStation::Header(reply, "Set-Cookie");
        EXPECT_EQ(std::tuple(reply.status, cookie.substr(std::min(cookie.size(), cookie.find(';')))),
                  std::tuple(status, attributes))
            << peer << " " << password;
        if (status == 303) {
            EXPECT_THAT(cookie, StartsWith("bf_session_9110="));
        }
    }
    EXPECT_THAT(w.Send("GET", "/login", "", {}, "192.0.2.1").body, HasSubstr("--trusted-proxy"));
    // Wrong passwords (an unknown name too) from the proxied client: from the fifth each try waits.
    for (int i = 0; i < 5; ++i) w.Send("POST", "/login", "user=nobody&password=x", proxied, "10.9.0.1");
    EXPECT_EQ(CountOf(w->log.text(), "  WEB - 198.51.100.7 - LOGINS SLOWED AFTER 5 WRONG PASSWORDS"), 1u);
    const HttpReply slowed = w.Send("POST", "/login", "user=alice&password=pw-a", proxied, "10.9.0.1");
    EXPECT_EQ(std::pair(slowed.status, WebStation::Header(slowed, "Retry-After")),
              std::pair(429, std::string("1")));
    EXPECT_EQ(w.Send("POST", "/login", "user=alice&password=pw-a", WebStation::Browser()).status, 303);
    // A flood: four checks wait, the fifth is refused at once.
    for (size_t i = 0; i < PasswordChecker::kMostWaiting; ++i) {
        bool waiting = false;
        w.web.Answer(
            {"POST", "/login", "", WebStation::Browser(), "user=bob&password=x"}, "127.0.0.1",
            [](const HttpReply&) {}, waiting);
        EXPECT_TRUE(waiting);
    }
    bool waiting = false;
    const std::optional<HttpReply> busy = w.web.Answer(
        {"POST", "/login", "", WebStation::Browser(), "user=bob&password=x"}, "127.0.0.1",
        [](const HttpReply&) {}, waiting);
    EXPECT_EQ(std::pair(waiting, busy->status), std::pair(false, 503));
}

// No control runs without a session with its role, its token, the station's Host and Origin (or Referer);
// or else the API's key under its rule.
TEST(WebConsole, NoControlRunsWithoutSessionTokenRoleHostAndOriginOrTheKey) {
    WebStation w;
    const auto [alice, aliceToken] = w.LogIn("alice", "pw-a");
    const auto [bob, bobToken] = w.LogIn("bob", "pw-b");
    const std::string csrf = "&csrf=" + aliceToken;
    Headers otherSite = WebStation::Browser(alice), noOrigin = WebStation::Browser(alice),
            referer = WebStation::Browser(alice), otherHost = WebStation::Browser(alice);
    otherSite[1].second = "http://evil.example";
    noOrigin.erase(noOrigin.begin() + 1);
    referer[1] = {"referer", "http://127.0.0.1:9110/x"};
    otherHost[0].second = "evil.example:9110";
    otherHost[1].second = "http://evil.example:9110";
    const Headers key = {{"host", "localhost:9110"},
                         {"authorization", "Bearer Key7"},
                         {"content-type", "application/x-www-form-urlencoded"}};
    Headers wrongKey = key;
    wrongKey[1].second = "Bearer Key8";
    // Path, body, headers, peer: the status, and the source on air after (switches to 3 run where it says
    // so).
    const std::tuple<std::string, std::string, Headers, std::string, int, int> rows[] = {
        {"/control/switch", "source=3&confirm=yes", WebStation::Browser(alice), "127.0.0.1", 403,
         2},  // no token
        {"/control/switch", "source=3&confirm=yes&csrf=" + bobToken, WebStation::Browser(alice), "127.0.0.1",
         403, 2},
        {"/control/switch", "source=3&confirm=yes" + csrf, WebStation::Browser(), "127.0.0.1", 401, 2},
        {"/control/switch", "source=3&confirm=yes" + csrf, otherSite, "127.0.0.1", 403, 2},
        {"/control/switch", "source=3&confirm=yes" + csrf, noOrigin, "127.0.0.1", 403, 2},
        {"/control/switch", "source=3&confirm=yes" + csrf, otherHost, "127.0.0.1", 403, 2},
        {"/control/mode", "mode=manual" + csrf, WebStation::Browser(alice), "127.0.0.1", 403,
         2},  // an operator
        {"/control/switch", "source=3&confirm=yes", wrongKey, "127.0.0.1", 401, 2},
        {"/control/switch", "source=3&confirm=yes", key, "192.0.2.1", 401, 2},  // the key over plain HTTP
        {"/control/switch", "source=3" + csrf, WebStation::Browser(alice), "127.0.0.1", 200,
         2},  // confirm first
        {"/control/switch", "source=3&confirm=yes" + csrf, referer, "127.0.0.1", 303, 3},
        {"/control/switch", "source=9", key, "127.0.0.1", 409, 3},  // no such source: the API's ERROR
        {"/control/switch", "source=1", key, "127.0.0.1", 200, 1},
        {"/control/mode", "mode=manual&csrf=" + bobToken, WebStation::Browser(bob), "127.0.0.1", 303, 1}};
    for (const auto& [path, body, headers, peer, status, after] : rows) {
        const HttpReply reply = w.Send("POST", path, body, headers, peer);
        EXPECT_EQ(std::tuple(reply.status, w->onAir.CurrentSource()), std::tuple(status, after))
            << path << " " << body;
        if (status == 401 && headers == key) {
            EXPECT_EQ(WebStation::Header(reply, "WWW-Authenticate"), "Bearer");
        }
    }
    EXPECT_EQ(w->schedule.mode, Mode::Manual);
    w.settings().APIkey = "";  // a key that lets anyone in is no key for a script
    wrongKey[1].second = "Bearer ";
    EXPECT_EQ(w.Send("POST", "/control/switch", "source=2", wrongKey).status, 401);
    // Who did what: the station log, the as-run record; the session's secrets nowhere.
    const std::string log = w->log.text(), day = w.folder.read("asrun/2026-12-06.csv");
    EXPECT_THAT(log, HasSubstr("  WEB - alice (operator) - SWITCH TO 3 Three\r\n"));
    EXPECT_THAT(log, HasSubstr("  WEB - api (engineer) - SWITCH TO 9  - REFUSED\r\n"));
    EXPECT_THAT(log, HasSubstr("  WEB - bob (engineer) - SET MODE MANUAL\r\n"));
    EXPECT_THAT(day, HasSubstr(",on air,3,Three,web,,alice\r\n"));
    EXPECT_THAT(day, HasSubstr(",on air,1,One,web,,api\r\n"));
    EXPECT_EQ(w->counters.switches[static_cast<size_t>(SwitchCause::Web)], 2u);
    for (const std::string& secret : {alice.substr(alice.find('=') + 1), aliceToken})
        EXPECT_EQ(log.find(secret) == std::string::npos && day.find(secret) == std::string::npos, true);

    // A reload that takes alice's role away ends her session; bob's stays. A password changed while it is
    // checked lets the old one in no more.
    const auto reload = [&] {
        w.folder.write("users.ini",
                       "bob=engineer:" + QuickHash("pw-b") + "\nalice=engineer:" + QuickHash("pw-a") + "\n");
        w.web.ReadUsers();
    };
    EXPECT_EQ(
        w.Send("POST", "/login", "user=bob&password=pw-b", WebStation::Browser(), "127.0.0.1", reload).status,
        403);
    EXPECT_EQ(w.Send("POST", "/control/restart-player", csrf, WebStation::Browser(alice)).status, 401);
    EXPECT_EQ(w.Send("POST", "/logout", "csrf=" + bobToken, WebStation::Browser(bob)).status, 303);
    EXPECT_EQ(w.web.sessions(), 0u);
}

// A session's event stream tells the log lines the public one leaves out, until the session ends; behind a
// trusted proxy each forwarded client has its own share of the streams.
TEST(WebConsole, EventStreamsTellASessionItsLogLinesAndCountTheClientsBehindAProxy) {
    WebStation w;
    FakeTcpListener listener;
    StatusServer server{*w, listener, &w.web};
    server.Open(9110, "127.0.0.1");
    const auto [alice, token] = w.LogIn("alice", "pw-a");
    w.clock.step(WebSessions::kIdleSeconds);  // a clock step: the session is not idle
    const auto stream = [&](const std::string& peer, const std::string& headers) {
        const std::shared_ptr<FakePeer> far = listener.connect(peer);
        far->send("GET /events HTTP/1.1\r\n" + headers + "\r\n");
        return far->completeSend(), far;
    };
    const auto own = stream("127.0.0.1", "Cookie: " + alice + "\r\n"), open = stream("127.0.0.1", "");
    EXPECT_THAT(own->sent.at(0), HasSubstr("LOGGED IN FROM"));
    AddToAirLog(*w, "  WEB - alice (operator) - RESTART PLAYER http://u:secret@h/");
    w.timers.fire(StatusServer::kTimeoutTimer);
    EXPECT_THAT(own->sent.back(), HasSubstr("RESTART PLAYER http://h/\""));
    EXPECT_EQ(std::pair(own->sent.size(), open->sent.size()), std::pair(size_t{2}, size_t{1}));
    own->completeSend();
    // A full disk: the as-run row cannot be written, the control runs and answers all the same.
    std::filesystem::create_directories(w.folder.path() / "asrun/2026-12-07.csv");  // the day after the step
    const HttpReply done =
        w.Send("POST", "/control/switch", "source=3&confirm=yes&csrf=" + token, WebStation::Browser(alice));
    EXPECT_EQ(std::pair(done.status, int{w->onAir.CurrentSource()}), std::pair(303, 3));
    EXPECT_THAT(w->log.text(), HasSubstr("  SYS - CANNOT WRITE asrun: Is a directory"));
    own->completeSend();
    EXPECT_EQ(w.Send("POST", "/logout", "csrf=" + token, WebStation::Browser(alice)).status, 303);
    w.timers.fire(StatusServer::kTimeoutTimer);
    EXPECT_THAT(own->sent.back(), testing::Not(HasSubstr("LOGGED OUT"))) << "its session ended: public now";
    for (int i = 0; i < 6; ++i)  // the fifth of one client behind the proxy is refused
        EXPECT_EQ(
            stream("127.0.0.2", "X-Forwarded-For: 203.0.113." + std::to_string(i / 5) + "\r\n")->sent[0][9],
            i == 4 ? '5' : '2');
}

TEST(WebUsersFile, AddUserWritesAHashOnlyTheOwnerReadsAndRemoveUserTakesItOut) {
    TempFolder folder;
    const std::string kept = "# the station's users\r\nEve=operator:x\n";  // as they were
    // A later line for the same name, skipped while the first counts, must not count once that one goes.
    folder.write("users.ini", "alice=engineer:$argon2id$old\n" + kept + "alice=engineer:$argon2id$twice\n");
    char password[] = "s3cret\n";
    std::FILE* input = fmemopen(password, sizeof password - 1, "r");
    EXPECT_EQ(AddWebUser(folder.path(), "alice", "operator", input), 0);
    std::fclose(input);
    EXPECT_EQ(AddWebUser(folder.path(), "Alice", "operator", stdin), 2);
    EXPECT_EQ(AddWebUser(folder.path(), "bob", "admin", stdin), 2);
    const UsersFile read = ParseUsersFile(folder.read("users.ini"));
    EXPECT_THAT(folder.read("users.ini"),
                testing::AllOf(StartsWith("alice=operator:$argon2id$v="), testing::EndsWith(kept)));
    EXPECT_TRUE(PasswordMatches(read.users.at("alice").hash, "s3cret"));
    struct stat st {};
    ::stat((folder.path() / "users.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(RemoveWebUser(folder.path(), "alice"), 0);
    EXPECT_EQ(RemoveWebUser(folder.path(), "alice"), 1);
    EXPECT_EQ(folder.read("users.ini"), kept);
}

}  // namespace
}  // namespace bf::test
