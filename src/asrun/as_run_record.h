#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text_file.h"
#include "platform/clock.h"

namespace bf {

// What a row of the as-run record tells.
enum class AsRunEvent {
    OnAir,       // a stretch on air starts: the source, its name and why
    Title,       // the stream announced a title
    Stall,       // no audio came from the source on air
    Silence,     // the source on air was silent
    Failover,    // the source failed and something stands in: the reason
    LastResort,  // the last resort file plays: nothing else could
};
std::string_view AsRunEventName(AsRunEvent event);

struct AsRunRow {
    LocalTime at;
    AsRunEvent event = AsRunEvent::OnAir;
    int source = -1;  // -1: none (the last resort, or no source)
    std::string name;
    std::string cause;   // why a stretch started (schedule, operator, api, ...)
    std::string detail;  // the title, or the reason of a stall, silence or failover
    // Who caused it: a browser console's user, "api", "console", "schedule",
    // "management"; empty when no person did.
    std::string by = {};
};

// The as-run record: what aired when and why, one CSV file a day
// (asrun/YYYY-MM-DD.csv in the station folder, by local date) with a header,
// appended to as things happen and kept for kDaysKept days; older days are
// dropped at the first row of a day, unless the date leapt (see
// takeDateLeap). A stretch on air lasts from its OnAir row to the next OnAir
// row.
// Rows are RFC 4180 with CR LF: every field that needs it quoted, control
// characters of a title as blanks, and a field that a spreadsheet would take
// for a formula (=, +, -, @ first, also after blanks or control characters)
// prefixed with an apostrophe. A day's file stops
// taking titles at kTitleBytesPerDay and everything at kBytesPerDay, so a
// title flood cannot fill the disk.
class AsRunRecord {
public:
    static constexpr int kDaysKept = 31;
    static constexpr uint64_t kTitleBytesPerDay = 2 * 1024 * 1024;
    static constexpr uint64_t kBytesPerDay = 4 * 1024 * 1024;
    static constexpr std::string_view kHeader = "time,epoch,event,source,name,cause,detail,by\r\n";
    // The header of the days written before the record said who: a day
    // file keeps the header it began with, and its rows their columns.
    static constexpr std::string_view kHeaderWithoutBy = "time,epoch,event,source,name,cause,detail\r\n";

    explicit AsRunRecord(std::filesystem::path stationFolder);

    // Appends the row to its day's file; false when it could not be written
    // or was not taken (the day is full: then dayFull()).
    bool add(const AsRunRow& row);
    bool dayFull() const { return dayFull_; }

    // A new day more than kLargestStep days after the newest day of the
    // record before it (a bad time server's answer, a clock chip that rolled
    // over) drops no day: the kept month outlives a clock that steps ahead
    // and back. A day dated after the new one never counts as the newest.
    static constexpr long kLargestStep = 2;
    struct DateLeap {
        std::string from, to;  // YYYY-MM-DD
    };
    // The leap the last add() met, once.
    std::optional<DateLeap> takeDateLeap() { return std::exchange(leap_, std::nullopt); }

    // A day's file (YYYY-MM-DD), whole; nullopt when the record has no such
    // day or the text is no date.
    std::optional<std::string> day(std::string_view date) const;
    // Up to `maxBytes` of a day's file from `offset` on, with the file's size
    // and identity, so that a day of several megabytes is read in parts;
    // nullopt as for day().
    std::optional<FilePart> dayPart(std::string_view date, uint64_t offset, size_t maxBytes) const;
    // The days the record holds (YYYY-MM-DD), the oldest first.
    std::vector<std::string> days() const;

    // Whether the text is a date as the files are named: YYYY-MM-DD, a month
    // 01-12 and a day 01-31.
    static bool IsDate(std::string_view text);

    // The row as written, CR LF included, with its `by` column or without.
    static std::string RowText(const AsRunRow& row, bool withBy = true);
    // One field as RFC 4180 wants it, kept from being read as a formula.
    static std::string Field(std::string_view text);

    const std::filesystem::path& folder() const { return folder_; }

private:
    void dropOldDays(const LocalTime& today);

    // Today's file, held open while rows come: a title flood costs a write
    // a row, not a walk of the path. A copy of the record opens its own.
    class OpenFile {
    public:
        OpenFile() = default;
        OpenFile(const OpenFile&) {}
        OpenFile& operator=(const OpenFile&) {
            close();
            return *this;
        }
        ~OpenFile() { close(); }
        void close();
        int fd = -1;
        bool withBy = true;  // the file's header has the `by` column
    };

    std::filesystem::path folder_;
    std::string today_;  // the date whose old days were last dropped
    std::optional<DateLeap> leap_;
    bool dayFull_ = false;  // the last row was not taken: its day's file is full
    OpenFile file_;         // of today_
};

}  // namespace bf
