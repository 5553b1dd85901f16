#include "metadata/billing_reporter.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/query_value.h"
#include "core/station.h"
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
// answered. A file that cannot be written leaves the reports in memory.
void SavePendingReports(const Station& station) {
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
    ReplaceFile(station.file(kPendingReportsFile), content);
}

std::string ReportRequest(const Station& station, const PaidItem& paid, const BillingText& text) {
    const StationState& s = station.state;
    return s.URLbase + "?key=" + QueryValue(s.APIkey) + "&stamp=" + QueryValue(paid.stamp) +
           "&artist=" + QueryValue(text.customer) + "&title=" + QueryValue(text.title);
}

// One attempt at the oldest unanswered report. Only an answer of the server
// settles it: no reply, a refusal, a time-out or an error page keep it for
// the next attempt. The stamp lets the server tell a repeat.
void SendOldestReport(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;
    const PaidItem paid = s.PendingReports.front();
    const BillingText text = SplitPaidItem(paid.item);
    c.lblArtist.caption = ShortLabel(text.customer);
    c.lblTitle.caption = ShortLabel(text.title);

    station.InetTallyway.setTimeoutMs(kBillingTimeoutMs);
    const HttpResult reply = station.InetTallyway.fetch(ReportRequest(station, paid, text));
    const bool answered = reply.ok() && reply.status != 0 && !reply.statusError();
    c.lblResponse.caption = answered ? reply.body : std::string();
    c.lblSentTime.caption = DateTimeText(station);
    station.counters.countBillingReport(answered, station.clock.now().epoch);

    if (answered) {
        // Ticks during the wait may have queued more; this one is removed by
        // what it is, not by its place.
        auto& pending = s.PendingReports;
        const auto it = std::find(pending.begin(), pending.end(), paid);
        if (it != pending.end()) pending.erase(it);
        SavePendingReports(station);
        s.ReportRetryCountdown = 0;
    } else {
        s.ReportRetryCountdown = kReportRetrySeconds;
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
    return value.size() > 25 ? value.substr(0, 15) + "..." : value;
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
    station.state.ReportRetryCountdown = 0;
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
        s.LastFileLine1 = current.stamp;
        s.LastFileLine2 = current.item;
        auto& pending = s.PendingReports;
        if (std::find(pending.begin(), pending.end(), current) == pending.end()) pending.push_back(current);
        SavePendingReports(station);
        s.ReportRetryCountdown = 0;
    }

    // A report on its way is waited for, never cancelled and sent again.
    if (station.InetTallyway.busy() || s.PendingReports.empty()) return;
    if (s.ReportRetryCountdown > 0 && --s.ReportRetryCountdown > 0) return;
    SendOldestReport(station);
}

}  // namespace bf
