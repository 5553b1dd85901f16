#include "asrun/as_run_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>
#include <vector>

#include "core/text_file.h"
#include "core/time_format.h"
#include "core/url_credentials.h"

namespace bf {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
long DayNumber(int year, int month, int day) {
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yoe = year - era * 400;
    const long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long DayNumber(std::string_view date) {
    auto number = [&](size_t at, size_t length) {
        int n = 0;
        for (size_t i = at; i < at + length; ++i) n = n * 10 + (date[i] - '0');
        return n;
    };
    return DayNumber(number(0, 4), number(5, 2), number(8, 2));
}

// The date a file of the record is named after; empty for any other file.
std::string_view DateOfFile(std::string_view name) {
    const std::string_view date = name.substr(0, 10);
    return name.size() == 14 && name.ends_with(".csv") && AsRunRecord::IsDate(date) ? date : "";
}

}  // namespace

bool AsRunRecord::IsDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    const int month = (text[5] - '0') * 10 + (text[6] - '0'), day = (text[8] - '0') * 10 + (text[9] - '0');
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::string_view AsRunEventName(AsRunEvent event) {
    static constexpr std::array<std::string_view, 6> kNames = {"on air",  "title",    "stall",
                                                               "silence", "failover", "last resort"};
    return kNames[static_cast<size_t>(event)];
}

AsRunRecord::AsRunRecord(std::filesystem::path stationFolder) : folder_(std::move(stationFolder) / "asrun") {}

std::string AsRunRecord::Field(std::string_view text) {
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; };
    // A spreadsheet takes a field for a formula by its first character, also
    // after blanks (which some trim) or control characters (written as
    // blanks).
    const size_t first =
        std::ranges::find_if_not(text, [&](char c) { return c == ' ' || control(c); }) - text.begin();
    const bool formula = first < text.size() && (text[first] == '=' || text[first] == '+' ||
                                                 text[first] == '-' || text[first] == '@');
    // Most fields need nothing: a title flood writes thousands a second.
    if (!formula && std::ranges::none_of(text, [&](char c) { return control(c) || c == '"' || c == ','; }))
        return std::string(text);
    std::string plain;
    plain.reserve(text.size() + 1);
    if (formula) plain += '\'';
    bool quote = false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            plain += ' ';  // a line end or a tab never breaks the row
            continue;
        }
        if (c == '"' || c == ',') quote = true;
        if (c == '"') plain += '"';
        plain += c;
    }
    return quote ? '"' + plain + '"' : plain;
}

std::string AsRunRecord::RowText(const AsRunRow& row, bool withBy) {
    char epoch[32];
    const auto [end, error] =
        std::to_chars(epoch, epoch + sizeof epoch - 1, row.at.epoch, std::chars_format::fixed, 0);
    *(error == std::errc() ? end : epoch) = '\0';
    // The record is for others: an address in it goes without its user and password.
    auto field = [](std::string_view text) { return Field(WithoutCredentials(text)); };
    return FormatDateYMD(row.at) + " " + FormatTime(row.at) + "," + epoch + "," +
           std::string(AsRunEventName(row.event)) + "," + (row.source < 0 ? "" : std::to_string(row.source)) +
           "," + field(row.name) + "," + field(row.cause) + "," + field(row.detail) +
           (withBy ? "," + field(row.by) : std::string()) + "\r\n";
}

void AsRunRecord::OpenFile::close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool AsRunRecord::add(const AsRunRow& row) {
    const std::string date = FormatDateYMD(row.at);
    dayFull_ = false;
    if (date != today_) {
        file_.close();
        dropOldDays(row.at);
    }
    struct stat st {};
    // A file removed meanwhile (by hand) is made again, with its header.
    if (file_.fd >= 0 && (::fstat(file_.fd, &st) != 0 || st.st_nlink == 0)) file_.close();
    if (file_.fd < 0) {
        const std::filesystem::path path = folder_ / (date + ".csv");
        const auto open = [&] {
            return ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
        };
        file_.fd = open();
        std::error_code ec;
        if (file_.fd < 0 && errno == ENOENT && std::filesystem::create_directory(folder_, ec))
            file_.fd = open();
        if (file_.fd < 0 || ::fstat(file_.fd, &st) != 0) {
            file_.close();
            return false;
        }
        // A day begun before the record said who goes on as it began.
        char head[kHeaderWithoutBy.size()];
        file_.withBy = !(st.st_size > 0 && ::pread(file_.fd, head, sizeof head, 0) == sizeof head &&
                         std::string_view(head, sizeof head) == kHeaderWithoutBy);
    }
    const auto written = static_cast<uint64_t>(st.st_size);
    const std::string text = RowText(row, file_.withBy);
    const uint64_t limit = row.event == AsRunEvent::Title ? kTitleBytesPerDay : kBytesPerDay;
    dayFull_ = written + text.size() > limit;
    if (dayFull_) return false;
    return AppendWhole(file_.fd, written == 0 ? std::string(kHeader) + text : text, written);
}

std::optional<std::string> AsRunRecord::day(std::string_view date) const {
    if (!IsDate(date)) return std::nullopt;
    return ReadWholeFile(folder_ / (std::string(date) + ".csv"));
}

std::optional<FilePart> AsRunRecord::dayPart(std::string_view date, uint64_t offset, size_t maxBytes) const {
    if (!IsDate(date)) return std::nullopt;
    return ReadFileFrom(folder_ / (std::string(date) + ".csv"), offset, maxBytes);
}

std::vector<std::string> AsRunRecord::days() const {
    std::vector<std::string> dates;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const std::string_view date = DateOfFile(name); !date.empty()) dates.emplace_back(date);
    }
    std::sort(dates.begin(), dates.end());
    return dates;
}

// The days before today's own file count: a restart on the day of a leap
// finds that day's file, and still keeps the month.
void AsRunRecord::dropOldDays(const LocalTime& today) {
    today_ = FormatDateYMD(today);
    const long number = DayNumber(today.year, today.month, today.day);
    const long first = number - (kDaysKept - 1);
    std::string newest;
    std::error_code ec;
    std::vector<std::filesystem::path> old;
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string_view date = DateOfFile(name);
        if (date.empty()) continue;
        if (date < today_ && date > newest) newest = date;
        if (DayNumber(date) < first) old.push_back(it->path());
    }
    if (!newest.empty() && number - DayNumber(newest) > kLargestStep) {
        leap_ = DateLeap{newest, today_};
        return;
    }
    for (const auto& path : old) std::filesystem::remove(path, ec);
}

}  // namespace bf
