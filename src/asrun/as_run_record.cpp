#include "asrun/as_run_record.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>
#include <vector>

#include "core/text_file.h"
#include "core/time_format.h"

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
    std::string plain;
    plain.reserve(text.size() + 1);
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@'))
        plain += '\'';
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

std::string AsRunRecord::RowText(const AsRunRow& row) {
    char epoch[32];
    std::snprintf(epoch, sizeof epoch, "%.0f", row.at.epoch);
    return FormatDateYMD(row.at) + " " + FormatTime(row.at) + "," + epoch + "," +
           std::string(AsRunEventName(row.event)) + "," + (row.source < 0 ? "" : std::to_string(row.source)) +
           "," + Field(row.name) + "," + Field(row.cause) + "," + Field(row.detail) + "\r\n";
}

bool AsRunRecord::add(const AsRunRow& row) {
    const std::string date = FormatDateYMD(row.at);
    if (date != today_) dropOldDays(row.at);
    std::error_code ec;
    std::filesystem::create_directory(folder_, ec);
    const std::filesystem::path file = folder_ / (date + ".csv");
    const uintmax_t size = std::filesystem::file_size(file, ec);
    const uint64_t written = ec ? 0 : size;
    const std::string text = RowText(row);
    const uint64_t limit = row.event == AsRunEvent::Title ? kTitleBytesPerDay : kBytesPerDay;
    if (written + text.size() > limit) return false;
    return AppendToFile(file, written == 0 ? std::string(kHeader) + text : text);
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

void AsRunRecord::dropOldDays(const LocalTime& today) {
    today_ = FormatDateYMD(today);
    const long first = DayNumber(today.year, today.month, today.day) - (kDaysKept - 1);
    std::error_code ec;
    std::vector<std::filesystem::path> old;
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const std::string_view date = DateOfFile(name); !date.empty() && DayNumber(date) < first)
            old.push_back(it->path());
    }
    for (const auto& path : old) std::filesystem::remove(path, ec);
}

}  // namespace bf
