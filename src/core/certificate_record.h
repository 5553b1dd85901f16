#pragma once

#include <cstdint>
#include <map>
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
    double toldAt = -1;  // monotonic clock when its end was last said; -1 never
    double toldEnd = 0;  // the end then said
};

struct CertificateRecord {
    std::vector<CertificateReading> readings;
};

// Each source's reading with the earliest end, by source number: a playlist
// source may have two (its own address and its stream's).
inline std::map<int16_t, const CertificateReading*> EarliestCertificateEnds(const CertificateRecord& record) {
    std::map<int16_t, const CertificateReading*> ends;
    for (const CertificateReading& reading : record.readings) {
        const CertificateReading*& earliest = ends[reading.source];
        if (reading.expiry && (!earliest || *reading.expiry < *earliest->expiry)) earliest = &reading;
    }
    std::erase_if(ends, [](const auto& end) { return end.second == nullptr; });
    return ends;
}

}  // namespace bf
