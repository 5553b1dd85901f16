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

// The IP addresses a host name resolves to, as the system's resolver gives
// them (IPv4 and IPv6, as text); none when it does not resolve.
std::vector<std::string> AddressesOf(const std::string& host);

// The streams an address stands for (see bf::ResolveStreams), read through
// FFmpeg, each host resolved by the system against a remote playlist that
// would lead inside the station (with `refusePrivate` also to its network);
// `interrupt` is FFmpeg's interrupt callback for every connection.
ResolvedStreams ResolveStreams(const std::string& address, bool probe, const AVIOInterruptCB& interrupt,
                               bool refusePrivate);

}  // namespace bf::monitor
