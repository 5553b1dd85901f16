// A playlist as a hostile server may send it: read, and followed through
// nested playlists that the same text stands for at every address.

#include <algorithm>

#include "core/stream_address.h"
#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(fuzz::AsText(data, size));
    const PlaylistText playlist = ReadPlaylistText(text, "http://dir.example/a/list.pls");
    BF_FUZZ_CHECK(playlist.entries.size() <= kPlaylistEntries);
    for (const std::string& entry : playlist.entries) {
        // Only whole http and https addresses of a host come out, never a local file.
        const AddressForm form = FormOfAddress(entry);
        BF_FUZZ_CHECK(form.unsupported.empty());
    }
    if (playlist.kind != PlaylistText::Kind::Entries) BF_FUZZ_CHECK(playlist.entries.empty());

    int fetches = 0;
    const ResolvedStreams resolved =
        ResolveStreams("http://dir.example/a/list.pls", true, [&](const std::string&) {
            ++fetches;
            return FetchedText{text, "audio/x-scpls", "", ""};
        });
    BF_FUZZ_CHECK(resolved.streams.size() <= kPlaylistEntries);
    // However the playlists nest, only so many are read.
    BF_FUZZ_CHECK(fetches <= static_cast<int>(kPlaylistEntries));
    BF_FUZZ_CHECK(resolved.streams.empty() != resolved.error.empty());

    // The playlist comes from outside; a host named "...inside..." resolves to
    // the machine itself. No stream of the machine itself comes out.
    const PlaylistGuard guard{[](const std::string& host) {
                                  return std::vector<std::string>{
                                      host.find("inside") != std::string::npos ? "127.0.0.1" : "203.0.113.9"};
                              },
                              true};
    const ResolvedStreams guarded = ResolveStreams(
        "http://dir.example/a/list.pls", true,
        [&](const std::string&) {
            return FetchedText{text, "audio/x-scpls", "", ""};
        },
        guard);
    for (const StreamEntry& stream : guarded.streams) {
        const std::string host = HostOf(stream.address);
        BF_FUZZ_CHECK(host.find("inside") == std::string::npos && ScopeOfIp(host) == AddressScope::Public);
    }
    return 0;
}
