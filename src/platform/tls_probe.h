#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace bf {

// What a look at a server's certificates found: the earliest end of the
// chain it handed over (seconds since 1970, UTC), and why the chain is not
// trusted (an expired certificate still tells its end); or why no chain was
// read at all (the connection or the handshake failed, or timed out).
struct TlsProbeResult {
    std::optional<double> expiry;
    std::string untrusted;
    std::string failure;
};
using TlsProbeDone = std::function<void(const TlsProbeResult&)>;

// Opens a TLS connection of its own to a server, reads the certificate chain
// of the handshake and closes it again. A probe returns at once; `done` runs
// later from the event loop, once, within the probe's time-out.
class TlsProbe {
public:
    static constexpr int kTimeoutMs = 10000;

    virtual ~TlsProbe() = default;
    virtual void probe(const std::string& host, uint16_t port, TlsProbeDone done) = 0;
};

}  // namespace bf
