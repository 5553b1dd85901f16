// A caller's bytes on the status port, judged as they grow: once the text is
// a request or refused, no further byte changes that, and a request always
// names a method of capitals and a path that starts with "/", its query apart.

#include "status/status_request.h"

#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    std::optional<RequestHead> decided;
    for (size_t length = 0; length <= text.size(); ++length) {
        const RequestHead head = ReadRequestHead(text.substr(0, length));
        if (decided) {
            BF_FUZZ_CHECK(head.state == decided->state);
            BF_FUZZ_CHECK(head.request.method == decided->request.method);
            BF_FUZZ_CHECK(head.request.path == decided->request.path);
            BF_FUZZ_CHECK(head.request.query == decided->request.query);
        } else if (head.state != RequestHeadState::Incomplete) {
            decided = head;
        }
        if (head.state == RequestHeadState::Complete) {
            BF_FUZZ_CHECK(!head.request.method.empty() && head.request.path.starts_with('/'));
            // The query is apart from the path, and a fragment is no part of either.
            BF_FUZZ_CHECK(head.request.path.find_first_of("?#") == std::string::npos &&
                          head.request.query.find('#') == std::string::npos);
            BF_FUZZ_CHECK(length <= kMaxRequestHeadBytes + kMaxRequestBodyBytes);
            BF_FUZZ_CHECK(head.request.body.size() <= kMaxRequestBodyBytes);
        }
        if (head.state == RequestHeadState::Incomplete)
            BF_FUZZ_CHECK(length <= kMaxRequestHeadBytes + kMaxRequestBodyBytes);
    }
    return 0;
}
