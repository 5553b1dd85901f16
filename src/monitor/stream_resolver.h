#pragma once

// How brackenfield-monitor reaches a stream through FFmpeg: the options of
// every connection (time-outs, certificates checked), the reason FFmpeg gave
// for a failure, and the streams a playlist address stands for.

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
}

#include <string>
#include <vector>

#include "core/stream_address.h"

namespace bf::monitor {

// FFmpeg's own words for the last failure it logged ("The certificate is
// NOT trusted..."); empty when it logged none. Set up by CaptureFfmpegLog.
void CaptureFfmpegLog();
std::string LastFfmpegError();

// The options of a connection: `openSeconds` for the connection and
// headers, `stallSeconds` without a byte. HTTPS certificates are checked
// against the system's store, or the file SSL_CERT_FILE names.
AVDictionary* ConnectionOptions(double openSeconds, double stallSeconds);

struct StreamEntry {
    std::string address;
    AddressKind kind = AddressKind::Stream;  // Stream or Hls
};

struct Resolved {
    std::vector<StreamEntry> streams;  // in the order to try them
    std::string error;                 // why there are none
};

// The streams an address stands for. A playlist (by its form, by its
// content type, or by its text when `probe` asks to look) is read with a
// bound and its entries taken in order; nested playlists are followed
// kPlaylistDepth levels deep; an entry that names a playlist on its own path
// is left out. Any other address is a stream of its own. `interrupt` is
// FFmpeg's interrupt callback for every connection.
Resolved ResolveStreams(const std::string& address, bool probe, const AVIOInterruptCB& interrupt);

}  // namespace bf::monitor
