#include "metadata/billing_reporter.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/file_trouble.h"
#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/time_format.h"

namespace bf {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string DateTimeText(const Station& station) {
    const LocalTime now = station.clock.now();
    return FormatDateDMY(now) + " " + FormatTime(now);
}

std::string DropDollar(std::string text) {
    if (text.starts_with("$ ")) text.erase(0, 2);
    return text;
}

// The file mirrors PendingReports; it is gone once every report has been
// answered. A file that cannot be written leaves the reports in memory, and
// is written again at the next tick.
void SavePendingReports(Station& station) {
    station.state.PendingReportsUnsaved = false;
    const auto& pending = station.state.PendingReports;
    if (pending.empty()) {
        RemoveFile(station.file(kPendingReportsFile));
        return;
    }
    std::string content;
    for (const PaidItem& p : pending) {
        content += p.stamp;
        content += kCrLf;
        content += p.item;
        content += kCrLf;
    }
    station.state.PendingReportsUnsaved =
        !NoteFileWrite(station, kPendingReportsFile,
                       ReplaceFile(station.file(kPendingReportsFile), content, Durability::Synced));
}

std::string ReportRequest(const Station& station, const PaidItem& paid, const BillingText& text) {
    return station.settings().URLbase + "?key=" + QueryValue(station.settings().APIkey) +
           "&stamp=" + QueryValue(paid.stamp) + "&artist=" + QueryValue(text.customer) +
           "&title=" + QueryValue(text.title);
}

enum class Outcome { Answered, Refused, Unanswered };

// A 4xx status is the server's decision about the report, except 408 and
// 429, which ask for it later. No reply, a time-out, a reply broken off or a
// server error leave the report unanswered.
Outcome OutcomeOf(const HttpResult& reply) {
    if (!reply.ok() || reply.status == 0) return Outcome::Unanswered;
    if (!reply.statusError()) return Outcome::Answered;
    const bool later = reply.status == 408 || reply.status == 429 || reply.status >= 500;
    return later ? Outcome::Unanswered : Outcome::Refused;
}

// The reply's first line, bounded: a server may send a page of any size.
std::string FirstLine(const std::string& body) {
    return std::string(CutAtCharacter(body.substr(0, body.find_first_of("\r\n")), kRefusalTextLimit));
}

// Adds the report to tallyway-rejected.txt, which is replaced whole so that
// a reader never sees half of it. A file that exists but cannot be read is
// appended to instead: what it holds is never lost.
void KeepRejectedReport(const Station& station, const PaidItem& paid, int status, const std::string& reply) {
    std::string entry;
    for (const std::string& line : {paid.stamp, paid.item, std::to_string(status), reply}) {
        entry += line;
        entry += kCrLf;
    }
    const std::filesystem::path path = station.file(kRejectedReportsFile);
    std::optional<std::string> kept = ReadWholeFile(path);
    std::error_code ec;
    if (!kept && std::filesystem::exists(path, ec)) {
        AppendToFile(path, entry);
        return;
    }
    ReplaceFile(path, kept.value_or("") + entry, Durability::Synced);
}

// Removes the report from the queue by what it is, not by its place: ticks
// during the wait may have added others.
void Settle(Station& station, const PaidItem& paid) {
    auto& pending = station.state.PendingReports;
    const auto it = std::find(pending.begin(), pending.end(), paid);
    if (it != pending.end()) pending.erase(it);
    SavePendingReports(station);
}

// One attempt at a report that is due. An answer settles it, and so does a
// refusal, which is kept aside and named in the station log; without either
// it is due again kReportRetrySeconds later. The stamp lets the server tell a
// repeat.
void SendReport(Station& station, const PaidItem& paid) {
    ConsoleModel& c = station.console;
    const BillingText text = SplitPaidItem(paid.item);
    c.lblArtist.caption = ShortLabel(text.customer);
    c.lblTitle.caption = ShortLabel(text.title);

    station.InetTallyway.setTimeoutMs(kBillingTimeoutMs);
    const HttpResult reply = station.InetTallyway.fetch(ReportRequest(station, paid, text));
    c.lblSentTime.caption = DateTimeText(station);
    const Outcome outcome = OutcomeOf(reply);
    NoteServiceOutcome(station, OutsideService::Billing, outcome != Outcome::Unanswered,
                       reply.ok() ? "HTTP " + std::to_string(reply.status) : reply.errorText);
    switch (outcome) {
        case Outcome::Answered:
            c.lblResponse.caption = reply.body;
            station.counters.countBillingReport(true, station.clock.now().epoch);
            Settle(station, paid);
            break;
        case Outcome::Refused: {
            const std::string status = std::to_string(reply.status);
            const std::string line = FirstLine(reply.body);
            c.lblResponse.caption = "HTTP " + status + " " + line;
            ++station.counters.billingReportsRefused;
            station.counters.lastBillingAnswerTime = station.clock.now().epoch;
            KeepRejectedReport(station, paid, reply.status, line);
            Settle(station, paid);
            AddToAirLog(station,
                        "  PAY - REPORT REFUSED (HTTP " + status + "), KEPT IN " +
                            std::string(kRejectedReportsFile) + ": " + paid.stamp + " " + paid.item,
                        LogPriority::Warning);
            break;
        }
        case Outcome::Unanswered: {
            c.lblResponse.caption.clear();
            station.counters.countBillingReport(false, station.clock.now().epoch);
            auto& pending = station.state.PendingReports;
            const auto it = std::find(pending.begin(), pending.end(), paid);
            if (it != pending.end()) it->retryCountdown = kReportRetrySeconds;
            break;
        }
    }
}

}  // namespace

BillingText SplitPaidItem(std::string_view item) {
    const std::string padded = std::string(item) + std::string(17, ' ');
    size_t at = 0;
    while (at < item.size() && padded.compare(at, 3, " - ") != 0) ++at;
    BillingText out{std::string(item.substr(0, at)), std::string(item.substr(at))};
    if (out.title.size() >= 3) out.title.erase(0, 3);
    out.customer = DropDollar(std::move(out.customer));
    out.title = DropDollar(std::move(out.title));
    return out;
}

std::string ShortLabel(const std::string& value) {
    return value.size() > 25 ? std::string(CutAtCharacter(value, 15)) + "..." : value;
}

void LoadPendingReports(Station& station) {
    const std::optional<std::vector<std::string>> lines = ReadLines(station.file(kPendingReportsFile));
    if (!lines) return;
    auto& pending = station.state.PendingReports;
    for (size_t i = 0; i + 1 < lines->size(); i += 2) {
        const PaidItem paid{(*lines)[i], (*lines)[i + 1]};
        if (!paid.stamp.empty() && std::find(pending.begin(), pending.end(), paid) == pending.end())
            pending.push_back(paid);
    }
}

void QueueReport(Station& station, const PaidItem& paid) {
    StationState& s = station.state;
    s.LastFileLine1 = paid.stamp;
    s.LastFileLine2 = paid.item;
    auto& pending = s.PendingReports;
    if (std::find(pending.begin(), pending.end(), paid) != pending.end()) return;
    if (pending.size() >= kPendingReportsLimit) {
        if (!s.PendingReportsFull)
            AddToAirLog(station,
                        "  PAY - " + std::to_string(kPendingReportsLimit) +
                            " REPORTS WAIT FOR THE BILLING SERVER - NEW PAID AIRINGS GO UNREPORTED",
                        LogPriority::Error);
        s.PendingReportsFull = true;
        return;
    }
    s.PendingReportsFull = false;
    pending.push_back(paid);
    s.PendingReportsUnsaved = true;
}

void tmrCheckFile_Timer(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;
    c.lblLastCheck.caption = DateTimeText(station);
    const PaidItem current{s.TallywayTT, s.TallywayMM};
    c.lblTimestamp.caption = current.stamp.empty() ? "None" : current.stamp;

    // An item already recorded when the reporter first looks counts as
    // reported.
    if (s.LastFileLine1.empty() && s.LastFileLine2.empty() && s.StartupFlag == 1) {
        s.LastFileLine1 = current.stamp;
        s.LastFileLine2 = current.item;
        s.StartupFlag = 0;
    }
    // Without a stamp the server could not tell the item from a repeat.
    if (!current.stamp.empty() && (current.stamp != s.LastFileLine1 || current.item != s.LastFileLine2)) {
        QueueReport(station, current);
    }
    if (s.PendingReportsUnsaved) SavePendingReports(station);

    // Every tick is a second of each failed report's wait, also while
    // another report is on its way.
    for (PaidItem& p : s.PendingReports) {
        if (p.retryCountdown > 0) --p.retryCountdown;
    }
    // A report on its way is waited for, never cancelled and sent again.
    if (station.InetTallyway.busy()) return;
    const auto due = std::find_if(s.PendingReports.begin(), s.PendingReports.end(),
                                  [](const PaidItem& p) { return p.retryCountdown == 0; });
    if (due != s.PendingReports.end()) SendReport(station, PaidItem(*due));
}

}  // namespace bf
