#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/on_air_record.h"
#include "core/station_counters.h"

namespace bf {

struct Station;

// A step that failed while a request was handled. `line` names the step;
// the operator sees description + CR LF + " Line of error:" + line.
struct ApiFailure {
    std::string description;
    int line = 0;
};

// The numbers shown after " Line of error:".
namespace ApiErrorLine {
constexpr int SetSource = 20;      // the manual switch
constexpr int ListSources = 30;    // reading sourcelist.ini for the listing
constexpr int SetMode = 40;        // the change of mode
constexpr int LeaveBackup = 50;    // the end of the failover
constexpr int RestartPlayer = 60;  // the restart of the source on air
}  // namespace ApiErrorLine

// The text a failure box shows.
std::string ApiFailureText(const ApiFailure& failure);

struct ApiAnswer {
    std::string reply;                  // the bytes to send, headers included
    std::optional<std::string> path;    // the request's path, for its slot's row; unset: no request
    std::optional<ApiFailure> failure;  // set when a step failed
};

// One of the console's controls (set source, set mode, leave the backup,
// restart the player), as the API and the browser console run it: one code
// path for both. `argument` is the source's number for set source and the
// mode's name ("automatic", "manual") for set mode. `body` is the API's
// reply body ("Source: 3\r\nOK\r\n", "Mode: MANUAL\r\nOK\r\n") or
// "ERROR" when the station refused or a step failed (`failure`).
struct ControlOutcome {
    std::string body = "ERROR";
    std::optional<ApiFailure> failure;
};
// `by` names the browser console's user.
ControlOutcome RunControl(Station& station, ApiCommand command, std::string_view argument, SwitchCause cause,
                          std::string_view by = {});

// Answers everything a connection sent as one text. A request runs at most
// one of the commands (current source, set source, list sources, metadata,
// and the console's controls: set mode, leave the backup, restart the
// player), each guarded by the API key read afresh from the station state,
// updates the remote status label, the station log (all but current source
// and metadata) and the window's `response`, and gets the body of its
// command or "ERROR". A text that is not a request gets an "ERROR" reply of its own and
// changes nothing else. A failing step is logged in the station log,
// returned in `failure`, and the caller gets "ERROR".
ApiAnswer AnswerRequestText(Station& station, std::string_view text, std::string_view clientAddress);

}  // namespace bf
