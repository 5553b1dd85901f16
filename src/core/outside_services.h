#pragma once

#include <array>
#include <string_view>

#include "platform/http_client.h"

namespace bf {

struct Station;

// The services the station calls out to.
enum class OutsideService { Management, Billing, Air, Weather };
inline constexpr std::array<std::string_view, 4> kOutsideServiceNames = {
    "MANAGEMENT SERVER", "BILLING SERVER", "TUNEIN AIR", "WEATHER SERVICE"};

// Tells the station log once when a service starts failing ("  SYS -
// BILLING SERVER FAILING: HTTP 503") and once when it answers again, not at
// every try in between.
void NoteServiceOutcome(Station& station, OutsideService service, bool answered, std::string_view why);

// The same for a reply: no answer, or an error status, is a failure; a
// request given up for a newer one tells nothing.
void NoteServiceReply(Station& station, OutsideService service, const HttpResult& reply);

}  // namespace bf
