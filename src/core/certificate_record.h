#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// What the station last read of one HTTPS source's certificates
// (sources/certificate_watch writes it; the metrics and the status read it).
struct CertificateReading {
    int16_t source = -1;
    std::string name;
    std::string address;           // the https address looked at (a playlist's entry, or the source's own)
    std::optional<double> expiry;  // the chain's earliest end, seconds since 1970
    std::string untrusted;         // why the chain is not trusted; empty when it is
    std::string failure;           // why the last look read no chain; empty when it read one
    double lookedAt = -1;          // monotonic clock; -1 never
    bool looking = false;
    std::string toldDay;  // local YYYY-MM-DD when its end was last said
};

struct CertificateRecord {
    std::vector<CertificateReading> readings;
};

}  // namespace bf
