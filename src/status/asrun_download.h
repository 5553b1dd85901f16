#pragma once

#include <string_view>

#include "asrun/as_run_record.h"
#include "platform/clock.h"
#include "status/status_request.h"

namespace bf {

// GET /asrun.csv?day=YYYY-MM-DD: the day's file of the record as it is
// (today's by the local clock without the parameter), without an address's
// user and password, read in parts as the caller takes them; 404 for a day
// the record does not hold, 400 for a day that is no date. The titles in it
// are the stream servers' bytes: the charset says UTF-8 only when the whole
// file is, "unknown-8bit" otherwise.
HttpReply AsRunDownload(const AsRunRecord& record, std::string_view query, const LocalTime& now);

}  // namespace bf
