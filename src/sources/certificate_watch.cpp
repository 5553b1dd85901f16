#include "sources/certificate_watch.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/stream_address.h"
#include "sources/source_list.h"

namespace bf {

namespace {

constexpr double kDay = 86400;

std::string DayOf(const LocalTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year % 10000, t.month, t.day);
    return text;
}

// The port an https address names; 443 without one, 0 for one that is no port.
uint16_t PortOf(std::string_view address) {
    const size_t scheme = address.find("://");
    std::string_view authority = address.substr(scheme == std::string_view::npos ? 0 : scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    if (const size_t bracket = authority.rfind(']'); bracket != std::string_view::npos)
        authority.remove_prefix(bracket + 1);
    const size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == authority.size()) return 443;
    unsigned port = 0;
    const std::string_view digits = authority.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) return 0;
    return static_cast<uint16_t>(port);
}

bool Secure(std::string_view address) {
    const AddressForm form = FormOfAddress(address);
    return form.unsupported.empty() && form.secure && !HostOf(address).empty() && PortOf(address) != 0;
}

// What is to be looked at now: each source's own https address, and the
// https entry its playlist led the monitor to.
std::vector<CertificateReading> Targets(const std::filesystem::path& folder,
                                        const std::map<std::string, std::string>& playlistEntries) {
    std::vector<CertificateReading> targets;
    const SourceTable table = ReadSourceTable(folder);
    for (size_t number = 0; number < table.size(); ++number) {
        const std::string address = StreamAddress(table[number].url);
        if (address.empty()) continue;
        const auto add = [&](const std::string& target) {
            if (!Secure(target)) return;
            CertificateReading reading;
            reading.source = static_cast<int16_t>(number);
            reading.name = table[number].name;
            reading.address = target;
            targets.push_back(std::move(reading));
        };
        add(address);
        if (const auto entry = playlistEntries.find(address); entry != playlistEntries.end())
            if (entry->second != address) add(entry->second);
    }
    return targets;
}

}  // namespace

std::string CertificateLine(int16_t source, std::string_view name, double expiry, double now) {
    std::string line =
        "  SYS - SOURCE " + std::to_string(source) + " " + std::string(name) + ": CERTIFICATE ";
    const std::string day = DayOf(LocalTimeAt(expiry));
    if (expiry <= now) return line + "EXPIRED " + day;
    const long long days = static_cast<long long>(std::floor((expiry - now) / kDay));
    return line + "EXPIRES " + day + " (" + std::to_string(days) + (days == 1 ? " DAY)" : " DAYS)");
}

bool CertificateEndNear(double expiry, double now) {
    return expiry - now < (kCertificateWarningDays + 1) * kDay;
}

CertificateWatch::CertificateWatch(const Clock& clock, TlsProbe& probe, CertificateRecord& record, Say say,
                                   Tell tell)
    : clock_(clock), probe_(probe), record_(record), say_(std::move(say)), tell_(std::move(tell)) {}

void CertificateWatch::tick(const std::filesystem::path& folder,
                            const std::map<std::string, std::string>& playlistEntries) {
    std::vector<CertificateReading> next = Targets(folder, playlistEntries);
    for (CertificateReading& target : next)
        for (CertificateReading& known : record_.readings)
            if (known.source == target.source && known.address == target.address) {
                known.name = target.name;
                target = std::move(known);
                break;
            }
    record_.readings = std::move(next);
    const double now = clock_.monotonicSeconds();
    for (CertificateReading& reading : record_.readings)
        if (!reading.looking && (reading.lookedAt < 0 || now - reading.lookedAt >= kCertificateLookSeconds ||
                                 now < reading.lookedAt))
            look(reading);
    for (CertificateReading& reading : record_.readings) sayDue(reading);
}

void CertificateWatch::look(CertificateReading& reading) {
    reading.looking = true;
    reading.lookedAt = clock_.monotonicSeconds();
    const std::string address = reading.address;
    const int16_t source = reading.source;
    probe_.probe(HostOf(address), PortOf(address),
                 [this, address, source](const TlsProbeResult& result) { took(address, source, result); });
}

void CertificateWatch::took(const std::string& address, int16_t source, const TlsProbeResult& result) {
    for (CertificateReading& reading : record_.readings) {
        if (reading.source != source || reading.address != address) continue;
        reading.looking = false;
        reading.failure = result.expiry ? std::string() : result.failure.substr(0, 200);
        if (reading.failure.empty() && !result.expiry) reading.failure = "no certificate";
        // A look that read nothing keeps the end read before: the chain has
        // not changed for want of a connection.
        if (result.expiry) {
            reading.expiry = result.expiry;
            reading.untrusted = result.untrusted.substr(0, 200);
        }
        sayDue(reading);
        return;
    }
}

void CertificateWatch::sayDue(CertificateReading& reading) {
    if (!reading.expiry) return;
    const LocalTime now = clock_.now();
    if (!CertificateEndNear(*reading.expiry, now.epoch)) return;
    const double left = *reading.expiry - now.epoch;
    // Once a day by the monotonic clock: a wall clock stepped forward and
    // back (a bad RTC corrected) neither says it again at once nor keeps it
    // quiet until the day it was stepped to. A renewed certificate (a later
    // end) is said at once; an earlier one waits its day, so that servers
    // that take turns with two chains bring no storm.
    const double monotonic = clock_.monotonicSeconds();
    if (reading.toldAt >= 0 && *reading.expiry <= reading.toldEnd && monotonic - reading.toldAt < kDay)
        return;
    reading.toldAt = monotonic;
    reading.toldEnd = *reading.expiry;
    const std::string line = CertificateLine(reading.source, reading.name, *reading.expiry, now.epoch);
    say_(line, left <= 0 ? LogPriority::Error : LogPriority::Warning);
    CertificateEvent event;
    event.source = AirSource{reading.source, reading.name, reading.address};
    event.address = reading.address;
    event.expiry = *reading.expiry;
    event.days = static_cast<int>(std::floor(left / kDay));
    event.text = line.substr(2);
    tell_(std::move(event));
}

}  // namespace bf
