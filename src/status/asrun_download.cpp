#include "status/asrun_download.h"

#include <string>

#include "core/text_decode.h"
#include "core/time_format.h"

namespace bf {

namespace {

HttpReply Refusal(int status, std::string text) {
    return {status, "text/plain; charset=utf-8", std::move(text) + "\n", {}};
}

// The value of `name` in a query ("day=2026-12-07&x=1"); nullopt when absent.
std::optional<std::string_view> QueryParameter(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=')
            return pair.substr(name.size() + 1);
        if (pair == name) return std::string_view();
        query = amp == std::string_view::npos ? "" : query.substr(amp + 1);
    }
    return std::nullopt;
}

// Whether the first `length` bytes of the day are UTF-8, read a part at a
// time. A row never holds a line end inside it, so each part is judged up to
// its last line end and the rest goes with the next.
bool DayIsUtf8(const AsRunRecord& record, const std::string& date, uint64_t length) {
    std::string carried;
    for (uint64_t offset = 0; offset < length;) {
        const auto part = record.dayPart(date, offset, std::min<uint64_t>(kBodyPartBytes, length - offset));
        if (!part || part->bytes.empty()) return false;
        offset += part->bytes.size();
        carried += part->bytes;
        const size_t end = offset < length ? carried.rfind('\n') + 1 : carried.size();
        if (!IsUtf8(std::string_view(carried).substr(0, end))) return false;
        carried.erase(0, end);
    }
    return true;
}

}  // namespace

HttpReply AsRunDownload(const AsRunRecord& record, std::string_view query, const LocalTime& now) {
    const std::optional<std::string_view> asked = QueryParameter(query, "day");
    if (asked && !AsRunRecord::IsDate(*asked))
        return Refusal(400, "Bad Request: the day is a date, /asrun.csv?day=YYYY-MM-DD");
    const std::string date = asked ? std::string(*asked) : FormatDateYMD(now);
    const auto first = record.dayPart(date, 0, 0);
    if (!first) return Refusal(404, "Not Found: the as-run record holds no " + date);
    const uint64_t length = first->size;
    const FileIdentity identity = first->identity;
    HttpReply reply{200,
                    std::string("text/csv; charset=") +
                        (DayIsUtf8(record, date, length) ? "utf-8" : "unknown-8bit") + "; header=present",
                    {},
                    {{"Content-Disposition", "attachment; filename=\"asrun-" + date + ".csv\""},
                     {"Cache-Control", "no-store"}},
                    {},
                    length};
    // The file only grows while its day lasts: the first `length` bytes stay
    // as they were. Another file under the name (the day dropped and written
    // again) ends the reply.
    reply.bodyPart = [record, date, identity, length](uint64_t offset,
                                                      size_t most) -> std::optional<std::string> {
        if (offset >= length) return std::nullopt;
        auto part = record.dayPart(date, offset, std::min<uint64_t>(most, length - offset));
        if (!part || part->identity != identity) return std::nullopt;
        return std::move(part->bytes);
    };
    return reply;
}

}  // namespace bf
