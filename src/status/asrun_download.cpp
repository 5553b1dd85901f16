#include "status/asrun_download.h"

#include <memory>
#include <string>

#include "core/text_decode.h"
#include "core/time_format.h"
#include "core/url_credentials.h"

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

// The first `length` bytes of a day's file as they go out, read a part at a
// time up to its last line end (a row never holds one), without an address's
// user and password: rows written before the record left them out may hold
// them.
class ServedRows {
public:
    ServedRows(AsRunRecord record, std::string date, FileIdentity identity, uint64_t length)
        : record_(std::move(record)), date_(std::move(date)), identity_(identity), length_(length) {}

    // The next rows; empty at the end, nullopt when the file can no longer
    // be read or is another one.
    std::optional<std::string> next() {
        while (read_ < length_) {
            auto part = record_.dayPart(date_, read_, std::min<uint64_t>(kBodyPartBytes, length_ - read_));
            if (!part || part->bytes.empty() || part->identity != identity_) return std::nullopt;
            read_ += part->bytes.size();
            carried_ += part->bytes;
            const size_t end = read_ < length_ ? carried_.rfind('\n') + 1 : carried_.size();
            if (end == 0) continue;
            std::string rows = WithoutCredentials(std::string_view(carried_).substr(0, end));
            carried_.erase(0, end);
            return rows;
        }
        return std::string();
    }

private:
    AsRunRecord record_;
    std::string date_;
    FileIdentity identity_;
    uint64_t length_;
    uint64_t read_ = 0;
    std::string carried_;
};

}  // namespace

HttpReply AsRunDownload(const AsRunRecord& record, std::string_view query, const LocalTime& now) {
    const std::optional<std::string_view> asked = QueryParameter(query, "day");
    if (asked && !AsRunRecord::IsDate(*asked))
        return Refusal(400, "Bad Request: the day is a date, /asrun.csv?day=YYYY-MM-DD");
    const std::string date = asked ? std::string(*asked) : FormatDateYMD(now);
    const auto first = record.dayPart(date, 0, 0);
    if (!first) return Refusal(404, "Not Found: the as-run record holds no " + date);
    // The file only grows while its day lasts: its first `size` bytes stay as
    // they were, and go out as the first reading found them. Another file
    // under the name (the day dropped and written again) ends the reply.
    const ServedRows rows(record, date, first->identity, first->size);
    uint64_t length = 0;
    bool utf8 = true;
    for (ServedRows reading = rows;;) {
        const std::optional<std::string> part = reading.next();
        if (!part) return Refusal(404, "Not Found: the as-run record holds no " + date);
        if (part->empty()) break;
        length += part->size();
        utf8 = utf8 && IsUtf8(*part);
    }
    HttpReply reply{
        200,
        std::string("text/csv; charset=") + (utf8 ? "utf-8" : "unknown-8bit") + "; header=present",
        {},
        {{"Content-Disposition", "attachment; filename=\"asrun-" + date + ".csv\""},
         {"Cache-Control", "no-store"}},
        {},
        length};
    // Asked for in order, as the caller takes each part.
    struct Sending {
        ServedRows rows;
        std::string ready;
        uint64_t sent = 0;
    };
    auto sending = std::make_shared<Sending>(Sending{rows, {}, 0});
    reply.bodyPart = [sending](uint64_t offset, size_t most) -> std::optional<std::string> {
        if (offset != sending->sent) return std::nullopt;
        while (sending->ready.size() < most) {
            std::optional<std::string> part = sending->rows.next();
            if (!part) return std::nullopt;
            if (part->empty()) break;
            sending->ready += *part;
        }
        std::string out = sending->ready.substr(0, most);
        sending->ready.erase(0, out.size());
        sending->sent += out.size();
        return out;
    };
    return reply;
}

}  // namespace bf
