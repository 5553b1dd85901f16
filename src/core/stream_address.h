#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bf {

// What an address names, as far as its form tells: a stream the player opens
// itself, a live HLS playlist (".m3u8"), or a playlist of stream addresses
// (".pls", ".m3u") that is read first and whose entries are played. A
// playlist served under another name is told by its content type.
enum class AddressKind { Stream, Hls, Playlist };

struct AddressForm {
    AddressKind kind = AddressKind::Stream;
    bool secure = false;  // https: the player opens it through FFmpeg
    // Why the station cannot play it (an unknown scheme, no host); empty
    // when it can.
    std::string unsupported;
};

AddressForm FormOfAddress(std::string_view address);

// The address the player streams from a source's URL: of the parts the URL
// splits into at blanks, the first with "://", else the first.
std::string StreamAddress(std::string_view url);

// Whether a content type names a playlist of stream addresses
// ("audio/x-scpls", "audio/x-mpegurl", ...) or a live HLS playlist.
bool IsPlaylistContentType(std::string_view contentType);

// What a playlist's text holds: the stream addresses of its entries in
// order (relative ones made whole against the playlist's own address, only
// http and https kept), or that it is a live HLS playlist, or neither.
struct PlaylistText {
    enum class Kind { NotPlaylist, Hls, Entries };
    Kind kind = Kind::NotPlaylist;
    std::vector<std::string> entries;
};

// A playlist reader keeps at most this many entries and reads at most this
// many bytes of one playlist; nested playlists are followed this deep.
inline constexpr size_t kPlaylistEntries = 16;
inline constexpr size_t kPlaylistBytes = 64 * 1024;
inline constexpr int kPlaylistDepth = 3;

// Reads a playlist's text (PLS or M3U, also with a byte order mark and any
// line ends). `address` is where it was read, for relative entries.
PlaylistText ReadPlaylistText(std::string_view text, std::string_view address);

// The address as the player is given it: https and HLS through MPlayer's
// FFmpeg input ("ffmpeg://https://..."), others as they are.
std::string PlayerAddress(std::string_view address, AddressKind kind);

// A reading of an address as far as a playlist could reach: its text, the
// server's content type, the address after redirects, or why it failed.
struct FetchedText {
    std::string text;
    std::string contentType;
    std::string location;
    std::string error;
};
using FetchText = std::function<FetchedText(const std::string& address)>;

struct StreamEntry {
    std::string address;
    AddressKind kind = AddressKind::Stream;  // Stream or Hls
};

struct ResolvedStreams {
    std::vector<StreamEntry> streams;  // in the order to try them
    std::string error;                 // why there are none
    // Each entry or playlist left out because of where it leads (see
    // PlaylistGuard), as one line: "playlist entry ADDRESS refused: why".
    std::vector<std::string> refused;
};

// Where an IP address (as text) leads; Public for text that is no address.
enum class AddressScope {
    Public,
    Private,      // 10/8, 172.16/12, 192.168/16, fc00::/7
    LinkLocal,    // 169.254/16, fe80::/10
    Loopback,     // 127/8, ::1
    Unspecified,  // 0/8, ::
};
AddressScope ScopeOfIp(std::string_view ip);

// The host an address names: without user, port or the brackets of an IPv6
// address; empty for text that is no address.
std::string HostOf(std::string_view address);

// How a remote playlist is kept from reaching inside the station's machine
// and network. A playlist is remote when its address, or the address it was
// read at after redirects, leads anywhere but to the station's machine or a
// private network, or when a remote playlist named it. An entry of a remote
// playlist (a stream, or a playlist that would be read) is left out when an
// address its host resolves to is loopback, link-local or unspecified, or,
// with `refusePrivate`, private; so is a playlist named by a remote one
// whose redirects led there. What a playlist on the station's machine or
// network names counts: it is the station's own.
struct PlaylistGuard {
    // The IP addresses (as text) a host name resolves to; none when it does
    // not resolve. Without it, nothing is refused.
    std::function<std::vector<std::string>(const std::string& host)> resolve;
    bool refusePrivate = false;  // RemotePlaylistPrivate=0
};

// The streams an address stands for. A playlist (by its form, or any address
// when `probe` asks to look: its content type or text may tell one) is read
// through `fetch` and its entries taken in order, at most kPlaylistEntries;
// nested playlists (entries whose form is a playlist) are followed
// kPlaylistDepth levels deep; an entry that names a playlist on its own path
// is left out, and so is one that `guard` refuses. Any other address is a
// stream of its own.
ResolvedStreams ResolveStreams(const std::string& address, bool probe, const FetchText& fetch,
                               const PlaylistGuard& guard = {});

}  // namespace bf
