#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/now_playing_record.h"

namespace bf {

struct Station;

// Paid items whose report has not been answered yet, kept in the working
// folder so that a restart of the program loses none: per item a line with
// its stamp and a line with its text.
constexpr std::string_view kPendingReportsFile = "tallyway-pending.txt";
// Reports the billing server refused, kept for the station's people: per
// report its stamp, its text, the status and the first line of the reply.
constexpr std::string_view kRejectedReportsFile = "tallyway-rejected.txt";
// The first line of a refusal's reply is kept to this many bytes.
constexpr size_t kRefusalTextLimit = 200;
// After a failed attempt a report is due again this many ticks (seconds)
// later, and so on at this pace until the server answers; the other reports
// go out meanwhile.
constexpr int16_t kReportRetrySeconds = 30;
// A report gives up well before its retry is due. Ticks while it is under
// way do not cancel it: they wait for it.
constexpr int kBillingTimeoutMs = 20000;

// The queue of reports holds at most this many: a stream that floods paid
// titles grows neither the station nor the pending file without end.
constexpr size_t kPendingReportsLimit = 1000;

struct BillingText {
    std::string customer;
    std::string title;
};

// Splits a paid item at its first " - " (a " -" at its very end counts too)
// into customer and title, without the separator and without a leading "$ ".
BillingText SplitPaidItem(std::string_view item);

// The label form of a value: longer than 25 bytes shows its first 15 and
// "...".
std::string ShortLabel(const std::string& value);

// Startup: takes the reports a previous run left unanswered.
void LoadPendingReports(Station& station);

// A paid airing just recorded (its stamp and text, as the now-playing owner
// tells it) joins the queue of reports once (only while the billing
// reporter runs: nothing else empties the queue); the next billing tick
// keeps the queue in kPendingReportsFile and sends what is due. Every airing is
// reported, also when several come between two billing ticks. A full queue
// takes no more, which the station log says once until it has room again.
void QueueReport(Station& station, const PaidItem& paid);

// The billing tick: keeps the queue in its file and sends the oldest report
// that is due, unless one is still on its way; its answer comes later.
void tmrCheckFile_Timer(Station& station);

}  // namespace bf
