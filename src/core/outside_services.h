#pragma once

#include <string_view>

#include "core/outside_service.h"
#include "platform/http_client.h"

namespace bf {

struct Station;

// Tells the station log once when a service starts failing ("  SYS -
// BILLING SERVER FAILING: HTTP 503") and once when it answers again, not at
// every try in between.
void NoteServiceOutcome(Station& station, OutsideService service, bool answered, std::string_view why);

// The same for a reply: no answer, or an error status, is a failure. (A
// request given up for a newer one gets no reply at all.)
void NoteServiceReply(Station& station, OutsideService service, const HttpResult& reply);

}  // namespace bf
