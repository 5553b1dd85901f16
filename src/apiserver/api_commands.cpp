#include "apiserver/api_commands.h"

#include <exception>
#include <filesystem>
#include <vector>

#include "apiserver/connection_slots.h"
#include "apiserver/request_text.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "sources/manual_switch.h"
#include "sources/player_control.h"

namespace bf {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string RequestMessage(std::string_view clientAddress, std::string_view suffix) {
    std::string message = "  NET - ";
    message.append(clientAddress);
    message.append(suffix);
    return message;
}

void SetRemoteStatus(Station& station, std::string_view clientAddress, std::string_view suffix) {
    station.console.lblRemoteStatus.caption = StampedStatus(station, RequestMessage(clientAddress, suffix));
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
    const ConsoleModel& c = station.console;
    return SourceEntryText(c.lblSourceNumber.caption, c.lblCurrentSource.caption, c.lblStudio.caption);
}

// Sources 1 to 9 and then the backup, each found by the lookup rule of a
// switch: the line's first three bytes are the digit and "n:" or "u:", the
// rest is the value, the last such line wins. One reading of the file gives
// what ten readings would.
std::string SourceListing(const std::vector<std::string>& lines) {
    std::string listing;
    for (const char digit : std::string_view("1234567890")) {
        std::string name;
        std::string url;
        for (const std::string& line : lines) {
            if (line.size() < 3 || line[0] != digit || line[2] != ':') continue;
            if (line[1] == 'n') name = line.substr(3);
            if (line[1] == 'u') url = line.substr(3);
        }
        listing += SourceEntryText(digit == '0' ? "BACKUP" : std::string(1, digit), url, name);
    }
    return listing;
}

ApiFailure SourceListUnreadable(const Station& station) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(station.file("sourcelist.ini"), ec);
    return {exists ? "Path/File access error" : "File not found", ApiErrorLine::ListSources};
}

// Runs one step; an exception it throws becomes the request's failure.
template <typename Step>
void Guarded(std::optional<ApiFailure>& failure, int line, Step&& step) {
    try {
        step();
    } catch (const std::exception& e) {
        failure = ApiFailure{e.what(), line};
    } catch (...) {
        failure = ApiFailure{"Unknown error", line};
    }
}

// Keeps the source number in TransferString exactly while the manual switch
// runs, also when the switch fails.
class TransferStringScope {
public:
    TransferStringScope(Station& station, std::string number) : station_(station) {
        station_.api.TransferString = std::move(number);
    }
    ~TransferStringScope() { station_.api.TransferString.clear(); }
    TransferStringScope(const TransferStringScope&) = delete;
    TransferStringScope& operator=(const TransferStringScope&) = delete;

private:
    Station& station_;
};

}  // namespace

std::string ApiFailureText(const ApiFailure& failure) {
    return failure.description + "\r\n Line of error:" + std::to_string(failure.line);
}

ApiAnswer AnswerRequestText(Station& station, int16_t slot, std::string_view text,
                            std::string_view clientAddress) {
    const std::optional<std::string> found = RequestPath(text);
    // Not a request: an answer of its own, never the body of another one.
    if (!found) return {ComposeReply("ERROR"), std::nullopt};
    const std::string& path = *found;
    const std::string& key = station.state.APIkey;  // read afresh by every test below

    std::string body = "ERROR";
    std::optional<ApiFailure> failure;
    SetRemoteStatus(station, clientAddress, " - NO COMMAND");

    if (path == "/api/getcurrent.php?id=" + key) {
        Guarded(failure, ApiErrorLine::CurrentSource, [&] {
            SetRemoteStatus(station, clientAddress, " - REQUEST CURRENT SOURCE");
            body = CurrentSourceBody(station);
        });
    }
    if (path.starts_with("/api/setcurrent.php?id=" + key)) {
        const std::string number(1, path.back());
        const std::string suffix = " - CHANGE TO SOURCE " + number;
        body = "Source: " + number + "\r\nOK\r\n";
        // A number without a playable source is refused by the switch.
        if (!PlayableSource(station, number)) body = "ERROR";
        Guarded(failure, ApiErrorLine::SetSource, [&] {
            TransferStringScope scope(station, number);
            cmdForceSwitch_Click(station);
        });
        AddToAirLog(station, RequestMessage(clientAddress, suffix));
        SetRemoteStatus(station, clientAddress, suffix);
    }
    if (path == "/api/listsources.php?id=" + key) {
        AddToAirLog(station, RequestMessage(clientAddress, " - LIST ALL SOURCES"));
        SetRemoteStatus(station, clientAddress, " - LIST ALL SOURCES");
        Guarded(failure, ApiErrorLine::ListSources, [&] {
            if (const auto lines = ReadLines(station.file("sourcelist.ini")))
                body = SourceListing(*lines);
            else
                failure = SourceListUnreadable(station);
        });
    }
    if (path == "/api/metadata.php?id=" + key) {
        Guarded(failure, ApiErrorLine::Metadata, [&] {
            SetRemoteStatus(station, clientAddress, " - METADATA REQUEST");
            body = station.console.lblRXmetadata.caption + "\r\nOK\r\n";
        });
    }

    if (failure) {
        // A failed step is never answered as a success.
        body = "ERROR";
        AddToAirLog(station,
                    RequestMessage(clientAddress, " - ERROR " + failure->description +
                                                      " Line of error:" + std::to_string(failure->line)));
    }
    if (slot >= 0 && static_cast<size_t>(slot) < station.api.rows.size())
        station.api.rows[static_cast<size_t>(slot)] = SlotTag(slot) + " Transfering: " + path;
    station.api.response = body;
    return {ComposeReply(body), failure};
}

}  // namespace bf
