// A reply from a hostile server, read as the HTTP clients read it: the bytes
// arrive in pieces, perhaps followed by the end of the connection. However
// they are cut, the reader comes to the same verdict, and it never holds
// more than its bounds.
//
// Input: the first byte shapes the delivery, the rest is what the server
// sends. Bits 0-5: the piece length less one (1..64 bytes); bit 6: the
// connection ends after the last piece.

#include "fuzz_station.h"
#include "platform/http_reply_reader.h"

using namespace bf;

namespace {

using State = HttpReplyReader::State;

bool Settled(State state) {
    return state == State::Done || state == State::Failed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = (data[0] & 0x3F) + 1;
    const bool end = (data[0] & 0x40) != 0;
    const std::string_view text = fuzz::AsText(data + 1, size - 1);

    HttpReplyReader inPieces;
    State before = inPieces.state();
    for (size_t at = 0; at < text.size(); at += piece) {
        const State now = inPieces.feed(text.substr(at, piece));
        BF_FUZZ_CHECK(!Settled(before) || now == before);  // a verdict stands
        BF_FUZZ_CHECK(inPieces.body().size() <= kMaxReplyBodyBytes);
        BF_FUZZ_CHECK(inPieces.status() == 0 || (inPieces.status() >= 200 && inPieces.status() <= 999));
        before = now;
    }
    HttpReplyReader whole;
    whole.feed(text);
    if (end) {
        inPieces.end();
        whole.end();
    }
    BF_FUZZ_CHECK(inPieces.state() == whole.state());
    BF_FUZZ_CHECK(inPieces.status() == whole.status());
    BF_FUZZ_CHECK(inPieces.body() == whole.body());
    BF_FUZZ_CHECK(inPieces.error() == whole.error());
    BF_FUZZ_CHECK((inPieces.state() == State::Failed) == !inPieces.error().empty());
    return 0;
}
