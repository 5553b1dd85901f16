#include "apiserver/api_commands.h"

#include <array>
#include <exception>
#include <filesystem>
#include <utility>

#include "apiserver/request_text.h"
#include "core/api_key.h"
#include "core/station.h"
#include "core/station_log.h"
#include "schedule/event_tick.h"
#include "sources/manual_switch.h"
#include "sources/on_air.h"
#include "sources/source_list.h"

namespace bf {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Each command's path up to its key, in the order of ApiCommand. No path
// starts with another one's.
constexpr std::array<std::pair<ApiCommand, std::string_view>, 7> kCommandPaths = {{
    {ApiCommand::GetCurrent, "/api/getcurrent.php?id="},
    {ApiCommand::SetCurrent, "/api/setcurrent.php?id="},
    {ApiCommand::ListSources, "/api/listsources.php?id="},
    {ApiCommand::Metadata, "/api/metadata.php?id="},
    {ApiCommand::SetMode, "/api/setmode.php?id="},
    {ApiCommand::LeaveBackup, "/api/leavebackup.php?id="},
    {ApiCommand::RestartPlayer, "/api/restartplayer.php?id="},
}};

// The command a path names with the station's key, and what follows the key
// (views into the path: nothing is copied for each request). Set-source takes
// anything after the key, set-mode its parameters after "&", the others
// nothing; Other when the path names no command so.
std::pair<ApiCommand, std::string_view> CommandOf(std::string_view path, std::string_view key) {
    for (const auto& [command, prefix] : kCommandPaths) {
        if (!path.starts_with(prefix)) continue;
        const std::string_view keyed = path.substr(prefix.size());
        if (!keyed.starts_with(key)) break;
        const std::string_view rest = keyed.substr(key.size());
        const bool taken = command == ApiCommand::SetCurrent || rest.empty() ||
                           (command == ApiCommand::SetMode && rest.front() == '&');
        if (taken) return {command, rest};
        break;
    }
    return {ApiCommand::Other, {}};
}

// The command that a path names with a key other than the station's, or
// with any key while the API is closed, for the metrics; Other when it names
// none so.
ApiCommand DeniedCommand(std::string_view path, std::optional<std::string_view> key) {
    for (const auto& [command, prefix] : kCommandPaths)
        if (path.starts_with(prefix) && (!key || !path.substr(prefix.size()).starts_with(*key)))
            return command;
    return ApiCommand::Other;
}

// The mode that set-mode's parameters ask for: exactly "&mode=automatic" or
// "&mode=manual".
std::optional<Mode> ModeAsked(std::string_view parameters) {
    if (parameters == "&mode=automatic") return Mode::Automatic;
    if (parameters == "&mode=manual") return Mode::Manual;
    return std::nullopt;
}

std::string RequestMessage(std::string_view clientAddress, std::string_view suffix) {
    std::string message = "  NET - ";
    message.append(clientAddress);
    message.append(suffix);
    return message;
}

void SetRemoteStatus(Station& station, std::string_view clientAddress, std::string_view suffix) {
    station.api.lastRequest = Stamped{station.clock.now(), RequestMessage(clientAddress, suffix)};
}

// The received title, as lblRXmetadata shows it: "None" before the first.
std::string ReceivedTitle(const Station& station) {
    return station.nowPlaying.received().value_or("None");
}

std::string SourceEntryText(std::string_view number, std::string_view url, std::string_view name) {
    std::string text;
    text.reserve(48 + number.size() + url.size() + name.size());
    text.append("Source: ");
    text.append(number).append(kCrLf);
    text.append("URL: ").append(url).append(kCrLf);
    text.append("Name: ").append(name).append(kCrLf);
    text.append("Volume: 100").append(kCrLf);
    return text;
}

std::string CurrentSourceBody(const Station& station) {
    const OnAirRecord& onAir = station.onAir;
    // Before the first switch, as the console shows it then.
    if (!onAir.everOnAir()) return SourceEntryText("None", "None", "NONE");
    return SourceEntryText(std::to_string(onAir.CurrentSource()), onAir.source().url, onAir.source().name);
}

// Sources 1 to 9, then the backup.
std::string SourceListing(const SourceTable& sources) {
    std::string listing;
    for (size_t n = 1; n <= sources.size(); ++n) {
        const SourceEntry& source = sources[n % sources.size()];
        listing +=
            SourceEntryText(n < sources.size() ? std::to_string(n) : "BACKUP", source.url, source.name);
    }
    return listing;
}

ApiFailure SourceListUnreadable(const Station& station) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(station.file("sourcelist.ini"), ec);
    return {exists ? "Path/File access error" : "File not found", ApiErrorLine::ListSources};
}

// A control drives the players, the timers, the clock and the management
// link: what fails in it is the request's failure, which its caller and the
// operator are told of. `line` names the step.
template <typename Step>
std::optional<ApiFailure> Guarded(int line, Step&& step) {
    try {
        step();
        return std::nullopt;
    } catch (const std::exception& e) {
        return ApiFailure{e.what(), line};
    } catch (...) {
        return ApiFailure{"Unknown error", line};
    }
}

// The reply of a control that put source `number` on air.
std::string SourceDone(std::string_view number) {
    std::string reply = "Source: ";
    reply.append(number).append("\r\nOK\r\n");
    return reply;
}

}  // namespace

std::string ApiFailureText(const ApiFailure& failure) {
    return failure.description + "\r\n Line of error:" + std::to_string(failure.line);
}

ControlOutcome RunControl(Station& station, ApiCommand command, std::string_view argument, SwitchCause cause,
                          std::string_view by) {
    ControlOutcome out;
    std::string& body = out.body;
    std::optional<ApiFailure>& failure = out.failure;
    switch (command) {
        case ApiCommand::SetCurrent: {
            bool switched = false;
            failure = Guarded(ApiErrorLine::SetSource,
                              [&] { switched = ForceSwitch(station, argument, cause, by); });
            // A number without a playable source is refused: nothing switched.
            if (switched) body = SourceDone(argument);
            break;
        }
        case ApiCommand::SetMode: {
            // What the console's mode button does, for the mode asked.
            const std::optional<Mode> mode = argument == "manual"      ? std::optional(Mode::Manual)
                                             : argument == "automatic" ? std::optional(Mode::Automatic)
                                                                       : std::nullopt;
            if (mode) {
                failure = Guarded(ApiErrorLine::SetMode, [&] { SetMode(station, *mode); });
                body = "Mode: " + std::string(ModeName(*mode)) + "\r\nOK\r\n";
            }
            break;
        }
        case ApiCommand::LeaveBackup:
            // "FORCE SWITCH FROM BACKUP", while the backup (or the last
            // resort) stands in: the failover ends, the stand-in stays.
            if (station.onAir.failoverActive()) {
                failure = Guarded(ApiErrorLine::LeaveBackup, [&] { cmdForceSource_Click(station); });
                if (!station.onAir.failoverActive())
                    body = SourceDone(std::to_string(station.onAir.CurrentSource()));
            }
            break;
        case ApiCommand::RestartPlayer: {
            // The source on air starts again on the other slot, as at every
            // switch: the old player plays until the new one does. A
            // restart changes nothing else, a failover goes on.
            const OnAirRecord& onAir = station.onAir;
            const int16_t number = onAir.everOnAir() ? onAir.source().number : int16_t{-1};
            if (number >= 0) {
                bool restarted = false;
                failure = Guarded(ApiErrorLine::RestartPlayer,
                                  [&] { restarted = Observe(station, air::RestartOnAir{}).taken; });
                if (restarted) body = SourceDone(std::to_string(number));
            }
            break;
        }
        default:
            break;
    }
    if (failure) body = "ERROR";
    return out;
}

ApiAnswer AnswerRequestText(Station& station, std::string_view text, std::string_view clientAddress) {
    const std::optional<std::string> found = RequestPath(text);
    // Not a request: an answer of its own, never the body of another one.
    if (!found) {
        PostEvent(station, &StationListener::apiAnswered, ApiAnswered{ApiCommand::Other, ApiResult::Error});
        return {ComposeReply("ERROR"), std::nullopt, std::nullopt};
    }
    const std::string& path = *found;
    // Read afresh by every test below. A reading of the settings that closed
    // the API leaves its listener open: no path is then a command.
    const Settings& settings = station.settings();
    const std::optional<std::string_view> key =
        ApiOpen(settings) ? std::optional<std::string_view>(*settings.APIkey) : std::nullopt;

    std::string body = "ERROR";
    std::optional<ApiFailure> failure;
    const auto [command, rest] =
        key ? CommandOf(path, *key) : std::pair(ApiCommand::Other, std::string_view());
    auto take = [&](ControlOutcome done) {
        body = std::move(done.body);
        failure = std::move(done.failure);
    };
    // A command the station log tells of: its work comes before the line.
    auto control = [&](std::string_view suffix) {
        AddToAirLog(station, RequestMessage(clientAddress, suffix));
        SetRemoteStatus(station, clientAddress, suffix);
    };

    switch (command) {
        case ApiCommand::GetCurrent:
            SetRemoteStatus(station, clientAddress, " - REQUEST CURRENT SOURCE");
            body = CurrentSourceBody(station);
            break;
        case ApiCommand::SetCurrent: {
            const std::string number(1, path.back());
            take(RunControl(station, command, number, SwitchCause::Api));
            control(" - CHANGE TO SOURCE " + number);
            break;
        }
        case ApiCommand::ListSources:
            if (const std::optional<SourceTable> sources = ReadSourceList(station.workingFolder))
                body = SourceListing(*sources);
            else
                failure = SourceListUnreadable(station);
            control(" - LIST ALL SOURCES");
            break;
        case ApiCommand::Metadata:
            SetRemoteStatus(station, clientAddress, " - METADATA REQUEST");
            body = ReceivedTitle(station) + "\r\nOK\r\n";
            break;
        case ApiCommand::SetMode: {
            const std::optional<Mode> mode = ModeAsked(rest);
            if (mode) {
                const std::string name = *mode == Mode::Manual ? "manual" : "automatic";
                take(RunControl(station, command, name, SwitchCause::Api));
            }
            control(mode ? " - SET MODE " + std::string(ModeName(*mode))
                         : std::string(" - SET MODE UNKNOWN"));
            break;
        }
        case ApiCommand::LeaveBackup:
            take(RunControl(station, command, "", SwitchCause::Api));
            control(" - LEAVE BACKUP");
            break;
        case ApiCommand::RestartPlayer:
            take(RunControl(station, command, "", SwitchCause::Api));
            control(" - RESTART PLAYER");
            break;
        case ApiCommand::Other:
            SetRemoteStatus(station, clientAddress, " - NO COMMAND");
            break;
    }

    if (failure) {
        // A failed step is never answered as a success.
        body = "ERROR";
        AddToAirLog(station,
                    RequestMessage(clientAddress, " - ERROR " + failure->description +
                                                      " Line of error:" + std::to_string(failure->line)));
    }
    station.api.response = body;
    ApiResult result = body == "ERROR" ? ApiResult::Error : ApiResult::Ok;
    ApiCommand counted = command;
    if (command == ApiCommand::Other && DeniedCommand(path, key) != ApiCommand::Other) {
        counted = DeniedCommand(path, key);
        result = ApiResult::Denied;
    }
    PostEvent(station, &StationListener::apiAnswered, ApiAnswered{counted, result});
    return {ComposeReply(body), path, failure};
}

}  // namespace bf
