#include "monitor/stream_resolver.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bf::monitor {

namespace {

// A stream's first bytes tell whether it could be a playlist at all; only
// then is more read.
constexpr int kSniffBytes = 4096;

std::string lastError;

void KeepErrors(void* context, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_ERROR) return;
    char line[512] = {};
    int prefix = 0;
    va_list copy;
    va_copy(copy, arguments);
    av_log_format_line2(context, level, format, copy, line, sizeof line, &prefix);
    va_end(copy);
    std::string text(line);
    // "[tls @ 0x...] " names FFmpeg's part: the reason is what follows.
    if (const size_t close = text.find("] "); text.starts_with('[') && close != std::string::npos)
        text.erase(0, close + 2);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (!text.empty()) lastError = text;
}

std::string Reason(int error) {
    if (!lastError.empty()) return lastError;
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

std::string Option(AVIOContext* io, const char* name) {
    uint8_t* value = nullptr;
    std::string text;
    if (av_opt_get(io, name, AV_OPT_SEARCH_CHILDREN, &value) >= 0 && value)
        text = reinterpret_cast<const char*>(value);
    av_free(value);
    return text;
}

// Reads an address as far as a playlist could reach: its first bytes, and
// the rest (up to kPlaylistBytes) only when they or its content type tell a
// playlist.
FetchedText Fetch(const std::string& address, const AVIOInterruptCB& interrupt) {
    FetchedText fetched;
    AVDictionary* options = ConnectionOptions(10, 5);
    av_dict_set(&options, "icy", "0", 0);
    AVIOContext* io = nullptr;
    lastError.clear();
    const int error = avio_open2(&io, address.c_str(), AVIO_FLAG_READ, &interrupt, &options);
    av_dict_free(&options);
    if (error < 0) {
        fetched.error = Reason(error);
        return fetched;
    }
    fetched.contentType = Option(io, "mime_type");
    fetched.location = Option(io, "location");
    std::string text(kPlaylistBytes, '\0');
    size_t read = 0;
    while (read < text.size()) {
        const size_t want = read < kSniffBytes ? kSniffBytes - read : text.size() - read;
        const int got =
            avio_read(io, reinterpret_cast<unsigned char*>(text.data() + read), static_cast<int>(want));
        if (got <= 0) break;
        read += static_cast<size_t>(got);
        if (read == kSniffBytes && !IsPlaylistContentType(fetched.contentType) &&
            ReadPlaylistText(std::string_view(text.data(), read), address).kind ==
                PlaylistText::Kind::NotPlaylist)
            break;
    }
    avio_closep(&io);
    text.resize(read);
    fetched.text = std::move(text);
    return fetched;
}

}  // namespace

void CaptureFfmpegLog() {
    av_log_set_callback(KeepErrors);
}

std::string LastFfmpegError() {
    return lastError;
}

AVDictionary* ConnectionOptions(double openSeconds, double stallSeconds) {
    AVDictionary* options = nullptr;
    const auto micro = [](double seconds) { return std::to_string(static_cast<long long>(seconds * 1e6)); };
    av_dict_set(&options, "rw_timeout", micro(stallSeconds).c_str(), 0);
    av_dict_set(&options, "timeout", micro(openSeconds).c_str(), 0);
    av_dict_set(&options, "reconnect", "0", 0);
    av_dict_set(&options, "user_agent", "brackenfield-monitor", 0);
    av_dict_set(&options, "tls_verify", "1", 0);
    if (const char* authorities = std::getenv("SSL_CERT_FILE"); authorities && *authorities)
        av_dict_set(&options, "ca_file", authorities, 0);
    return options;
}

std::vector<std::string> AddressesOf(const std::string& host) {
    std::vector<std::string> found;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return found;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void* at =
            a->ai_family == AF_INET
                ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr)
                : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr);
        if ((a->ai_family == AF_INET || a->ai_family == AF_INET6) &&
            ::inet_ntop(a->ai_family, at, text, sizeof text))
            found.emplace_back(text);
    }
    ::freeaddrinfo(list);
    return found;
}

ResolvedStreams ResolveStreams(const std::string& address, bool probe, const AVIOInterruptCB& interrupt,
                               bool refusePrivate) {
    return bf::ResolveStreams(
        address, probe, [&](const std::string& at) { return Fetch(at, interrupt); },
        PlaylistGuard{AddressesOf, refusePrivate});
}

}  // namespace bf::monitor
