#include "metadata/billing_reporter.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "core/file_trouble.h"
#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/run_handler.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"

namespace bf {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string DropDollar(std::string text) {
    if (text.starts_with("$ ")) text.erase(0, 2);
    return text;
}

// The file mirrors PendingReports; it is gone once every report has been
// answered. A file that cannot be written leaves the reports in memory, and
// is written again at the next tick.
void SavePendingReports(Station& station) {
    station.metadata.billing.unsaved = false;
    const auto& pending = station.metadata.billing.pending;
    if (pending.empty()) {
        // Synced: a report must not come back after a power cut, to be sent twice.
        RemoveFile(station.file(kPendingReportsFile), Durability::Synced);
        return;
    }
    std::string content;
    for (const PaidItem& p : pending) {
        content += p.stamp;
        content += kCrLf;
        content += p.item;
        content += kCrLf;
    }
    station.metadata.billing.unsaved =
        !NoteFileWrite(station, kPendingReportsFile,
                       ReplaceFile(station.file(kPendingReportsFile), content, Durability::Synced));
}

std::string ReportRequest(const Station& station, const PaidItem& paid, const BillingText& text) {
    return station.settings().URLbase + "?key=" + QueryValue(station.settings().APIkey.value_or("")) +
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
// appended to instead: what it holds is never lost. Whether it was written.
bool KeepRejectedReport(Station& station, const PaidItem& paid, const PaidItem::Refusal& refusal) {
    std::string entry;
    for (const std::string& line : {paid.stamp, paid.item, std::to_string(refusal.status), refusal.reply}) {
        entry += line;
        entry += kCrLf;
    }
    const std::filesystem::path path = station.file(kRejectedReportsFile);
    std::optional<std::string> kept = ReadWholeFile(path);
    std::error_code ec;
    const bool written = !kept && std::filesystem::exists(path, ec)
                             ? AppendToFile(path, entry)
                             : ReplaceFile(path, kept.value_or("") + entry, Durability::Synced);
    return NoteFileWrite(station, kRejectedReportsFile, written);
}

// Removes the report from the queue by what it is, not by its place: ticks
// during the wait may have added others.
void Settle(Station& station, const PaidItem& paid) {
    auto& pending = station.metadata.billing.pending;
    const auto it = std::find(pending.begin(), pending.end(), paid);
    if (it != pending.end()) pending.erase(it);
    SavePendingReports(station);
}

// A refused report is settled once its copy is kept, and named so; until
// then it stays pending (in memory and in tallyway-pending.txt), and is not
// sent again. False when the copy could not be written.
bool KeepRefused(Station& station, const PaidItem& paid) {
    const PaidItem::Refusal& refusal = *paid.refused;
    const std::string said = "  PAY - REPORT REFUSED (HTTP " + std::to_string(refusal.status) + "), ";
    if (!KeepRejectedReport(station, paid, refusal)) return false;
    AddToAirLog(station,
                said + "KEPT IN " + std::string(kRejectedReportsFile) + ": " + paid.stamp + " " + paid.item,
                LogPriority::Warning);
    Settle(station, paid);
    return true;
}

// What the answer to a report does. An answer settles it, and so does a
// refusal, which is kept aside and named in the station log; without either
// it is due again kReportRetrySeconds later.
void Answered(Station& station, const PaidItem& paid, const HttpResult& reply) {
    BillingState& billing = station.metadata.billing;
    billing.answeredAt = station.clock.now();
    const Outcome outcome = OutcomeOf(reply);
    NoteServiceOutcome(station, OutsideService::Billing, outcome != Outcome::Unanswered,
                       reply.ok() ? "HTTP " + std::to_string(reply.status) : reply.errorText);
    auto& pending = billing.pending;
    const auto it = std::find(pending.begin(), pending.end(), paid);
    switch (outcome) {
        case Outcome::Answered:
            billing.response = reply.body;
            PostEvent(station, &StationListener::billingAnswered, BillingAnswer{BillingOutcome::Answered});
            Settle(station, paid);
            break;
        case Outcome::Refused: {
            const PaidItem::Refusal refusal{reply.status, FirstLine(reply.body)};
            billing.response = "HTTP " + std::to_string(refusal.status) + " " + refusal.reply;
            PostEvent(station, &StationListener::billingAnswered, BillingAnswer{BillingOutcome::Refused});
            PaidItem refused = paid;
            refused.refused = refusal;
            if (it != pending.end()) it->refused = refusal;
            if (!KeepRefused(station, refused))
                AddToAirLog(station,
                            "  PAY - REPORT REFUSED (HTTP " + std::to_string(refusal.status) +
                                "), WAITS TO BE KEPT IN " + std::string(kRejectedReportsFile) + ": " +
                                paid.stamp + " " + paid.item,
                            LogPriority::Warning);
            break;
        }
        case Outcome::Unanswered:
            billing.response.clear();
            PostEvent(station, &StationListener::billingAnswered, BillingAnswer{BillingOutcome::Unanswered});
            if (it != pending.end()) it->retryCountdown = kReportRetrySeconds;
            break;
    }
}

// One attempt at a report that is due. The stamp lets the server tell a
// repeat.
void SendReport(Station& station, const PaidItem& paid) {
    station.metadata.billing.sent = paid;
    station.InetTallyway.setTimeoutMs(kBillingTimeoutMs);
    station.InetTallyway.get(
        ReportRequest(station, paid, SplitPaidItem(paid.item)), [&station, paid](const HttpResult& reply) {
            RunHandler(station, "InetTallyway_Reply", [&] { Answered(station, paid, reply); });
        });
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
    auto& pending = station.metadata.billing.pending;
    for (size_t i = 0; i + 1 < lines->size(); i += 2) {
        const PaidItem paid{(*lines)[i], (*lines)[i + 1]};
        if (!paid.stamp.empty() && std::find(pending.begin(), pending.end(), paid) == pending.end())
            pending.push_back(paid);
    }
}

void QueueReport(Station& station, const PaidItem& paid) {
    BillingState& billing = station.metadata.billing;
    auto& pending = billing.pending;
    // A full queue takes nothing, and a flood of paid titles finds it full:
    // it is not searched then.
    if (pending.size() < kPendingReportsLimit &&
        std::find(pending.begin(), pending.end(), paid) != pending.end())
        return;
    if (pending.size() >= kPendingReportsLimit) {
        if (!billing.full)
            AddToAirLog(station,
                        "  PAY - " + std::to_string(kPendingReportsLimit) +
                            " REPORTS WAIT FOR THE BILLING SERVER - NEW PAID AIRINGS GO UNREPORTED",
                        LogPriority::Error);
        billing.full = true;
        return;
    }
    billing.full = false;
    pending.push_back(paid);
    billing.unsaved = true;
}

void tmrCheckFile_Timer(Station& station) {
    BillingState& billing = station.metadata.billing;
    billing.lastCheck = station.clock.now();
    if (billing.unsaved) SavePendingReports(station);
    // Refusals whose copy waits, until one cannot be written yet.
    for (;;) {
        const auto refused = std::find_if(billing.pending.begin(), billing.pending.end(),
                                          [](const PaidItem& p) { return p.refused.has_value(); });
        if (refused == billing.pending.end() || !KeepRefused(station, PaidItem(*refused))) break;
    }

    // Every tick is a second of each failed report's wait, also while
    // another report is on its way.
    for (PaidItem& p : billing.pending) {
        if (p.retryCountdown > 0) --p.retryCountdown;
    }
    // A report on its way is waited for, never cancelled and sent again.
    if (station.InetTallyway.busy()) return;
    const auto due = std::find_if(billing.pending.begin(), billing.pending.end(),
                                  [](const PaidItem& p) { return p.retryCountdown == 0 && !p.refused; });
    if (due != billing.pending.end()) SendReport(station, PaidItem(*due));
}

}  // namespace bf
