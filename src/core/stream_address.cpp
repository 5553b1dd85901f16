#include "core/stream_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>

#include "core/text_decode.h"

namespace bf {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && Lower(text.substr(0, prefix.size())) == prefix;
}

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// An address in a reason: cut before a character, never inside one (the
// reason reaches the station log and the as-run record).
std::string Shown(std::string_view address, size_t most = 200) {
    return std::string(CutAtCharacter(address, most));
}

struct UrlParts {
    std::string_view scheme;     // "http", as written
    std::string_view authority;  // "host:port", with any user
    std::string_view path;       // from the first "/" on, without query or fragment
};

std::optional<UrlParts> Split(std::string_view address) {
    const size_t colon = address.find("://");
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    UrlParts parts;
    parts.scheme = address.substr(0, colon);
    const std::string_view rest = address.substr(colon + 3);
    const size_t pathAt = std::min(rest.find_first_of("/?#"), rest.size());
    parts.authority = rest.substr(0, pathAt);
    std::string_view path = rest.substr(pathAt);
    path = path.substr(0, std::min(path.find_first_of("?#"), path.size()));
    parts.path = path;
    return parts;
}

bool IsWebScheme(std::string_view scheme) {
    const std::string lower = Lower(scheme);
    return lower == "http" || lower == "https";
}

// An entry made whole against the playlist's address; empty for one that
// names no http or https stream (a local file, another scheme, no host).
std::string WholeAddress(std::string_view entry, std::string_view base);

std::string WholeEntry(std::string_view entry, std::string_view base) {
    std::string whole = WholeAddress(entry, base);
    const std::optional<UrlParts> parts = Split(whole);
    if (!parts || parts->authority.empty() || parts->authority.ends_with('@')) whole.clear();
    return whole;
}

std::string WholeAddress(std::string_view entry, std::string_view base) {
    if (entry.find("://") != std::string_view::npos) {
        const std::optional<UrlParts> parts = Split(entry);
        return parts && IsWebScheme(parts->scheme) && !parts->authority.empty() ? std::string(entry) : "";
    }
    const std::optional<UrlParts> at = Split(base);
    if (!at || entry.empty() || entry.find(':') < entry.find('/')) return {};
    const std::string origin = std::string(at->scheme) + "://" + std::string(at->authority);
    if (entry.starts_with("//")) return std::string(at->scheme) + ":" + std::string(entry);
    if (entry.starts_with("/")) return origin + std::string(entry);
    const std::string_view folder = at->path.substr(0, at->path.rfind('/') + 1);
    return origin + (folder.empty() ? "/" : std::string(folder)) + std::string(entry);
}

void Keep(PlaylistText& playlist, const std::string& entry) {
    if (!entry.empty() && playlist.entries.size() < kPlaylistEntries &&
        std::ranges::find(playlist.entries, entry) == playlist.entries.end())
        playlist.entries.push_back(entry);
}

template <typename Each>
void ForEachLine(std::string_view text, Each each) {
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", from), text.size());
        each(Trimmed(text.substr(from, end - from)));
        from = end + 1;
    }
}

struct Resolution {
    const FetchText& fetch;
    const PlaylistGuard& guard;
    std::vector<std::string> path;  // the playlists being read, outermost first
    ResolvedStreams result;
    int fetches = 0;

    // The addresses an address's host leads to: itself when it is an IP
    // address (a name in another form, "127.1", goes to the resolver).
    std::vector<std::string> ipsOf(const std::string& address) const {
        const std::string host = HostOf(address);
        in6_addr any{};
        if (::inet_pton(AF_INET, host.c_str(), &any) == 1 || ::inet_pton(AF_INET6, host.c_str(), &any) == 1)
            return {host};
        return guard.resolve(host);
    }
    // Whether the address leads only to the station's machine or a private
    // network: what a playlist there names is the station's own.
    bool local(const std::string& address) const {
        const std::vector<std::string> ips = ipsOf(address);
        return !ips.empty() && std::ranges::all_of(ips, [](const std::string& ip) {
            return ScopeOfIp(ip) == AddressScope::Loopback || ScopeOfIp(ip) == AddressScope::Private;
        });
    }
    // Why a remote playlist may not lead to the address; nullopt when it may.
    std::optional<std::string> refusal(const std::string& address) const {
        for (const std::string& ip : ipsOf(address)) {
            switch (ScopeOfIp(ip)) {
                case AddressScope::Loopback:
                case AddressScope::Unspecified:
                    return "it names the station's own machine (" + ip + ")";
                case AddressScope::LinkLocal:
                    return "it names the station's own link (" + ip + ")";
                case AddressScope::Private:
                    if (guard.refusePrivate)
                        return "it names an address of the station's network (" + ip + ")";
                    break;
                case AddressScope::Public:
                    break;
            }
        }
        return std::nullopt;
    }
    // Whether an entry (or what a playlist was read at) of a remote playlist
    // is left out; said so when it is.
    bool refused(const std::string& address, const char* what) {
        const std::optional<std::string> why = refusal(address);
        if (!why) return false;
        const std::string line = std::string(what) + " " + Shown(address) + " refused: " + *why;
        result.refused.push_back(line);
        fail(line);
        return true;
    }

    void fail(const std::string& why) {
        if (result.error.empty()) result.error = why;
    }
    void add(const std::string& address, AddressKind kind) {
        if (result.streams.size() < kPlaylistEntries &&
            std::ranges::find(result.streams, address, &StreamEntry::address) == result.streams.end())
            result.streams.push_back(
                {address, kind == AddressKind::Hls ? AddressKind::Hls : AddressKind::Stream});
    }

    // `remote`: a remote playlist named the address.
    void resolve(const std::string& address, bool probe, bool remote) {
        const AddressForm form = FormOfAddress(address);
        if (form.kind == AddressKind::Hls || (form.kind == AddressKind::Stream && !probe)) {
            add(address, form.kind);
            return;
        }
        // However a playlist nests, only so many are read.
        if (++fetches > static_cast<int>(kPlaylistEntries)) {
            fail("more than " + std::to_string(kPlaylistEntries) + " playlists to read at " + Shown(address));
            return;
        }
        const FetchedText fetched = fetch(address);
        if (!fetched.error.empty()) {
            fail("playlist " + Shown(address) + ": " + fetched.error);
            return;
        }
        const std::string base = fetched.location.empty() ? address : fetched.location;
        if (guard.resolve) {
            // Its redirects: a remote playlist's entry led elsewhere, or the
            // playlist's text came from a server that is not the station's.
            if (remote && base != address && refused(base, "playlist")) return;
            remote = remote || !local(address) || (base != address && !local(base));
        }
        const PlaylistText playlist = ReadPlaylistText(fetched.text, base);
        if (playlist.kind != PlaylistText::Kind::Entries) {
            // Not a playlist after all: a stream (or a page the player
            // will refuse, which fails the source as any other).
            add(address, playlist.kind == PlaylistText::Kind::Hls ? AddressKind::Hls : AddressKind::Stream);
            return;
        }
        if (playlist.entries.empty()) fail("playlist " + Shown(address) + " names no http or https stream");
        path.push_back(address);
        if (base != address) path.push_back(base);
        for (const std::string& entry : playlist.entries) {
            if (std::ranges::find(path, entry) != path.end()) {
                fail("playlist " + Shown(address) + " names itself");
                continue;
            }
            const AddressForm entryForm = FormOfAddress(entry);
            if (remote && refused(entry, "playlist entry")) continue;
            if (entryForm.kind != AddressKind::Playlist) {
                add(entry, entryForm.kind);
            } else if (path.size() >= static_cast<size_t>(kPlaylistDepth)) {
                fail("playlists nested more than " + std::to_string(kPlaylistDepth) + " deep at " +
                     Shown(entry));
            } else {
                resolve(entry, true, remote);
            }
        }
        path.resize(path.size() - (base != address ? 2 : 1));
    }
};

}  // namespace

std::string StreamAddress(std::string_view url) {
    // The player gets the URL split at blanks; the stream is the first part
    // that names a scheme (others are options), else the first part.
    std::string_view first;
    size_t at = 0;
    while (at < url.size()) {
        const size_t start = url.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(url.find(' ', start), url.size());
        const std::string_view part = url.substr(start, end - start);
        if (part.find("://") != std::string_view::npos) return std::string(part);
        if (first.empty()) first = part;
        at = end;
    }
    return std::string(first);
}

AddressForm FormOfAddress(std::string_view address) {
    AddressForm form;
    const std::optional<UrlParts> parts = Split(address);
    if (!parts) {
        form.unsupported = "it names no scheme (http:// or https://)";
        return form;
    }
    if (!IsWebScheme(parts->scheme)) {
        form.unsupported =
            "its scheme " + Shown(parts->scheme, 20) + ":// is not played (http:// and https:// only)";
        return form;
    }
    if (parts->authority.empty() || parts->authority.ends_with('@')) {
        form.unsupported = "it names no host";
        return form;
    }
    form.secure = Lower(parts->scheme) == "https";
    const std::string path = Lower(parts->path);
    if (path.ends_with(".m3u8"))
        form.kind = AddressKind::Hls;
    else if (path.ends_with(".pls") || path.ends_with(".m3u"))
        form.kind = AddressKind::Playlist;
    return form;
}

bool IsPlaylistContentType(std::string_view contentType) {
    std::string type =
        Lower(Trimmed(contentType.substr(0, std::min(contentType.find(';'), contentType.size()))));
    static constexpr std::string_view kTypes[] = {
        "audio/x-scpls", "audio/scpls",           "application/pls+xml",          "audio/x-mpegurl",
        "audio/mpegurl", "application/x-mpegurl", "application/vnd.apple.mpegurl"};
    return std::ranges::find(kTypes, type) != std::end(kTypes);
}

PlaylistText ReadPlaylistText(std::string_view text, std::string_view address) {
    text = text.substr(0, kPlaylistBytes);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    PlaylistText playlist;
    const std::string_view first = Trimmed(text.substr(0, text.find_first_of("\r\n")));
    if (StartsWithNoCase(first, "[playlist]")) {
        // PLS: "FileN=address", played in the order of N.
        std::map<long, std::string> files;
        ForEachLine(text, [&](std::string_view line) {
            if (!StartsWithNoCase(line, "file")) return;
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos || files.size() >= kPlaylistEntries * 4) return;
            const std::string number(Trimmed(line.substr(4, equals - 4)));
            char* end = nullptr;
            const long n = std::strtol(number.c_str(), &end, 10);
            if (number.empty() || *end != '\0') return;
            files.emplace(n, WholeEntry(Trimmed(line.substr(equals + 1)), address));
        });
        for (const auto& [n, entry] : files) Keep(playlist, entry);
        playlist.kind = PlaylistText::Kind::Entries;
        return playlist;
    }
    // M3U: one address a line; "#" lines are comments, except that HLS's
    // tags tell a live playlist of segments.
    bool m3u = StartsWithNoCase(first, "#extm3u");
    bool hls = false;
    bool other = false;
    ForEachLine(text, [&](std::string_view line) {
        if (line.empty()) return;
        if (line.starts_with('#')) {
            hls = hls || StartsWithNoCase(line, "#ext-x-");
            return;
        }
        // Without the M3U header only whole addresses make a playlist: a
        // line of anything else tells text of another kind (a web page).
        if (!m3u && line.find("://") == std::string_view::npos) {
            other = true;
            return;
        }
        Keep(playlist, WholeEntry(line, address));
    });
    if (hls) {
        playlist.entries.clear();
        playlist.kind = PlaylistText::Kind::Hls;
    } else if (m3u || (!other && !playlist.entries.empty())) {
        playlist.kind = PlaylistText::Kind::Entries;
    } else {
        playlist.entries.clear();
    }
    return playlist;
}

std::string PlayerAddress(std::string_view address, AddressKind kind) {
    const bool secure = StartsWithNoCase(address, "https://");
    if (secure || kind == AddressKind::Hls) return "ffmpeg://" + std::string(address);
    return std::string(address);
}

std::string HostOf(std::string_view address) {
    const std::optional<UrlParts> parts = Split(address);
    if (!parts) return {};
    std::string_view host = parts->authority;
    if (const size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (host.starts_with('[')) return std::string(host.substr(1, host.find(']') - 1));
    return std::string(host.substr(0, host.find(':')));
}

AddressScope ScopeOfIp(std::string_view ip) {
    const std::string text(ip);
    in_addr v4{};
    in6_addr v6{};
    uint32_t a = 0;
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        a = ntohl(v4.s_addr);
    } else if (::inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        const uint8_t* b = v6.s6_addr;
        // An IPv4 address in IPv6's clothes leads where the IPv4 address does.
        if (!IN6_IS_ADDR_V4MAPPED(&v6) && !IN6_IS_ADDR_V4COMPAT(&v6)) {
            if (IN6_IS_ADDR_UNSPECIFIED(&v6)) return AddressScope::Unspecified;
            if (IN6_IS_ADDR_LOOPBACK(&v6)) return AddressScope::Loopback;
            if (IN6_IS_ADDR_LINKLOCAL(&v6)) return AddressScope::LinkLocal;
            return (b[0] & 0xfe) == 0xfc ? AddressScope::Private : AddressScope::Public;
        }
        a = uint32_t{b[12]} << 24 | uint32_t{b[13]} << 16 | uint32_t{b[14]} << 8 | b[15];
    } else {
        return AddressScope::Public;
    }
    if (a >> 24 == 0) return AddressScope::Unspecified;
    if (a >> 24 == 127) return AddressScope::Loopback;
    if (a >> 16 == 0xa9fe) return AddressScope::LinkLocal;
    if (a >> 24 == 10 || a >> 20 == 0xac1 || a >> 16 == 0xc0a8) return AddressScope::Private;
    return AddressScope::Public;
}

ResolvedStreams ResolveStreams(const std::string& address, bool probe, const FetchText& fetch,
                               const PlaylistGuard& guard) {
    Resolution resolution{fetch, guard, {}, {}, 0};
    resolution.resolve(address, probe, false);
    if (!resolution.result.streams.empty()) resolution.result.error.clear();
    return std::move(resolution.result);
}

}  // namespace bf
