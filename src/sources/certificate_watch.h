#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/certificate_record.h"
#include "core/station_events.h"
#include "core/station_log.h"
#include "platform/clock.h"
#include "platform/tls_probe.h"

namespace bf {

// Every HTTPS source of the source list (and the first HTTPS entry of a
// playlist source, as its monitor read it) is looked at once an hour through
// a TLS connection of the station's own: the end of its certificate chain
// is kept, exported and, from kCertificateWarningDays before, said once a
// day and told to the listener. A source that leaves the list leaves the
// record at the next tick.
inline constexpr int kCertificateWarningDays = 14;
inline constexpr double kCertificateLookSeconds = 3600;
// TimerName::Certificates' period: sources new to the list are looked at
// within it.
inline constexpr int kCertificateTickMs = 60000;

class CertificateWatch {
public:
    using Say = std::function<void(std::string_view, LogPriority)>;
    using Tell = std::function<void(CertificateEvent)>;

    CertificateWatch(const Clock& clock, TlsProbe& probe, CertificateRecord& record, Say say, Tell tell);

    // Reads the folder's source list again, drops what left it, looks at
    // what is due, and says what is due to be said. `playlistEntries`: the
    // stream a playlist source's monitor listens to, by the source's address.
    void tick(const std::filesystem::path& folder, const std::map<std::string, std::string>& playlistEntries);

private:
    void look(CertificateReading& reading);
    void took(const std::string& address, int16_t source, const TlsProbeResult& result);
    void sayDue(CertificateReading& reading);

    const Clock& clock_;
    TlsProbe& probe_;
    CertificateRecord& record_;
    Say say_;
    Tell tell_;
};

// Whether a certificate's end is said: fewer than 15 whole days left
// ("(14 DAYS)"), or past.
bool CertificateEndNear(double expiry, double now);

// "SYS - SOURCE 3 Breakfast: CERTIFICATE EXPIRES 2027-01-02 (14 DAYS)", or
// "... CERTIFICATE EXPIRED 2027-01-02" once the end has passed.
std::string CertificateLine(int16_t source, std::string_view name, double expiry, double now);

}  // namespace bf
