#include "apiserver/api_commands.h"

#include <array>
#include <exception>
#include <filesystem>
#include <utility>

#include "apiserver/request_text.h"
#include "core/station.h"
#include "core/station_log.h"
#include "sources/manual_switch.h"
#include "sources/source_list.h"

namespace bf {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Each command's path up to its key, in the order of ApiCommand.
constexpr std::array<std::pair<ApiCommand, std::string_view>, 4> kCommandPaths = {{
    {ApiCommand::GetCurrent, "/api/getcurrent.php?id="},
    {ApiCommand::SetCurrent, "/api/setcurrent.php?id="},
    {ApiCommand::ListSources, "/api/listsources.php?id="},
    {ApiCommand::Metadata, "/api/metadata.php?id="},
}};

std::string PathOf(ApiCommand command) {
    return std::string(kCommandPaths[static_cast<size_t>(command)].second);
}

// The command that a path names with a key other than the station's, for
// the metrics; Other when it names none so.
ApiCommand DeniedCommand(std::string_view path, std::string_view key) {
    for (const auto& [command, prefix] : kCommandPaths)
        if (path.starts_with(prefix) && !path.substr(prefix.size()).starts_with(key)) return command;
    return ApiCommand::Other;
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
    std::string text = "Source: ";
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

struct SwitchOutcome {
    bool switched = false;
    std::optional<ApiFailure> failure;
};

// The switch drives the players, the clock and the management link: what
// fails in it is the request's failure, which its caller and the operator
// are told of.
SwitchOutcome SwitchTo(Station& station, const std::string& number) {
    try {
        return {ForceSwitch(station, number, SwitchCause::Api), std::nullopt};
    } catch (const std::exception& e) {
        return {false, ApiFailure{e.what(), ApiErrorLine::SetSource}};
    } catch (...) {
        return {false, ApiFailure{"Unknown error", ApiErrorLine::SetSource}};
    }
}

}  // namespace

std::string ApiFailureText(const ApiFailure& failure) {
    return failure.description + "\r\n Line of error:" + std::to_string(failure.line);
}

ApiAnswer AnswerRequestText(Station& station, std::string_view text, std::string_view clientAddress) {
    const std::optional<std::string> found = RequestPath(text);
    // Not a request: an answer of its own, never the body of another one.
    if (!found) {
        station.counters.countApiRequest(ApiCommand::Other, ApiResult::Error);
        return {ComposeReply("ERROR"), std::nullopt, std::nullopt};
    }
    const std::string& path = *found;
    const std::string& key = station.settings().APIkey;  // read afresh by every test below

    std::string body = "ERROR";
    std::optional<ApiFailure> failure;
    ApiCommand command = ApiCommand::Other;
    SetRemoteStatus(station, clientAddress, " - NO COMMAND");

    if (path == PathOf(ApiCommand::GetCurrent) + key) {
        command = ApiCommand::GetCurrent;
        SetRemoteStatus(station, clientAddress, " - REQUEST CURRENT SOURCE");
        body = CurrentSourceBody(station);
    }
    if (path.starts_with(PathOf(ApiCommand::SetCurrent) + key)) {
        const std::string number(1, path.back());
        const std::string suffix = " - CHANGE TO SOURCE " + number;
        body = "Source: " + number + "\r\nOK\r\n";
        command = ApiCommand::SetCurrent;
        const SwitchOutcome outcome = SwitchTo(station, number);
        failure = outcome.failure;
        // A number without a playable source is refused: nothing switched.
        if (!outcome.switched) body = "ERROR";
        AddToAirLog(station, RequestMessage(clientAddress, suffix));
        SetRemoteStatus(station, clientAddress, suffix);
    }
    if (path == PathOf(ApiCommand::ListSources) + key) {
        command = ApiCommand::ListSources;
        AddToAirLog(station, RequestMessage(clientAddress, " - LIST ALL SOURCES"));
        SetRemoteStatus(station, clientAddress, " - LIST ALL SOURCES");
        if (const std::optional<SourceTable> sources = ReadSourceList(station))
            body = SourceListing(*sources);
        else
            failure = SourceListUnreadable(station);
    }
    if (path == PathOf(ApiCommand::Metadata) + key) {
        command = ApiCommand::Metadata;
        SetRemoteStatus(station, clientAddress, " - METADATA REQUEST");
        body = ReceivedTitle(station) + "\r\nOK\r\n";
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
    if (command == ApiCommand::Other && DeniedCommand(path, key) != ApiCommand::Other) {
        command = DeniedCommand(path, key);
        result = ApiResult::Denied;
    }
    station.counters.countApiRequest(command, result);
    return {ComposeReply(body), path, failure};
}

}  // namespace bf
