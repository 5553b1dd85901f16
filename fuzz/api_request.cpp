// The remote API as a client reaches it: the text arrives in pieces on one
// connection of the API server (over the fake listener), and the request
// functions are checked on the text as it grows.
//
// Input: the first byte shapes the delivery, the rest is what the client
// sends. Bits 0-5: the piece length less one (1..64 bytes); bit 6: the
// time-out timer ticks after every piece; bit 7: the client hangs up after
// its last piece.

#include <optional>

#include "apiserver/api_server.h"
#include "apiserver/request_text.h"
#include "fake_tcp_listener.h"
#include "fuzz_station.h"

using namespace bf;

namespace {

constexpr std::string_view kSources =
    "0n:Backup\r\n0u:http://127.0.0.1:9/backup\r\n1n:One\r\n1u:http://127.0.0.1:9/one\r\n"
    "2n:Two\r\n2u:http://127.0.0.1:9/two\r\n2s:echo two\r\n";

void CheckRequestFunctions(std::string_view text) {
    const bool matches = MatchesRequestPattern(text);
    BF_FUZZ_CHECK(RequestPath(text).has_value() == matches);
    BF_FUZZ_CHECK((AssessRequestText(text) == RequestTextState::Request) == matches);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = (data[0] & 0x3F) + 1;
    const bool ticking = (data[0] & 0x40) != 0;
    const bool hangUp = (data[0] & 0x80) != 0;
    const std::string_view text = fuzz::AsText(data + 1, size - 1);

    test::TestStation& s = fuzz::FreshStation();
    static const bool listWritten = (s.folder.write("sourcelist.ini", kSources), true);
    (void)listWritten;
    s.settings().APIkey = "K";
    s.settings().APIallowed = true;
    test::FakeTcpListener listener;
    ApiServer server(*s, listener);
    server.Open(1011);
    const auto peer = listener.connect();

    // The text as it stood when the server had to answer: at the end of the
    // first piece after which it was no longer incomplete.
    std::optional<std::string> decisive;
    size_t piecesBefore = 0;
    std::string received;
    for (size_t at = 0; at < text.size() && peer->open; at += piece) {
        const std::string_view part = text.substr(at, piece);
        received.append(part);
        CheckRequestFunctions(received);
        if (!decisive && AssessRequestText(received) != RequestTextState::Incomplete) decisive = received;
        if (!decisive) ++piecesBefore;
        peer->send(std::string(part));
        if (ticking) s.timers.fire(ApiServer::kTimeoutTimer);
    }

    // A connection ticked past its lifetime before its text was decided goes unanswered.
    const bool answered = decisive && (!ticking || piecesBefore < ApiServer::kLifetimeSeconds);
    BF_FUZZ_CHECK(peer->sent.size() == (answered ? 1u : 0u));
    if (answered) {
        const std::optional<std::string> path = RequestPath(*decisive);
        if (path) {
            // Nothing after the request changes its path.
            BF_FUZZ_CHECK(RequestPath(text) == path);
            BF_FUZZ_CHECK(peer->sent[0] == ComposeReply(s->api.response));
        } else {
            BF_FUZZ_CHECK(peer->sent[0] == ComposeReply("ERROR"));
            BF_FUZZ_CHECK(s->api.response.empty());
        }
    }

    // However it went, the connection ends and its slot comes free.
    if (hangUp) peer->hangUp();
    if (!peer->sent.empty()) peer->completeSend();
    for (int i = 0; i < ApiServer::kIdleSeconds; ++i) s.timers.fire(ApiServer::kTimeoutTimer);
    BF_FUZZ_CHECK(!peer->open);
    BF_FUZZ_CHECK(!server.busy(1));
    return 0;
}
