#include "metadata/metadata_outputs.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/file_trouble.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/time_format.h"

namespace bf {

namespace {

constexpr std::string_view kSystemMarker = "!!*SYS*!!";
constexpr std::string_view kTrafficMarker = "!!*SYS*!!*TA1*!!";
constexpr std::string_view kCrLf = "\r\n";

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A file that cannot be replaced keeps its old content; the tick goes on.
void WriteOneLine(Station& station, std::string_view name, std::string_view line) {
    std::string content(line);
    content += kCrLf;
    NoteFileWrite(station, name, ReplaceFile(station.file(name), content));
}

}  // namespace

bool ContainsNoCase(std::string_view text, std::string_view marker) {
    const auto hit = std::search(text.begin(), text.end(), marker.begin(), marker.end(),
                                 [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
    return hit != text.end() || marker.empty();
}

bool IsSystemCommand(std::string_view title) {
    return ContainsNoCase(title, kSystemMarker);
}

bool IsBillingTitle(std::string_view title) {
    std::string padded(title.substr(0, 2));
    padded += "   ";
    return padded.starts_with("$ ");
}

void LogSystemCommand(Station& station, std::string_view title) {
    AddToAirLog(station, "  API - " + std::string(title));
}

std::string WriteBillingOutputs(Station& station, std::string_view title, const LocalTime& now) {
    AddToAirLog(station, "  PAY - " + std::string(title));
    station.metadata.outputs.paidAiringUnwritten = true;
    return FormatBillingStamp(now);
}

std::optional<std::string> PaidAiringOnAir(const Station& station) {
    const std::optional<std::vector<std::string>> lines = ReadLines(station.file("tallyway.txt"));
    if (lines && lines->size() >= 2 && IsBillingTitle((*lines)[1])) return (*lines)[1];
    return std::nullopt;
}

void ProduceMetadataOutputs(Station& station) {
    const StationState& s = station.state;
    const std::string& text = station.nowPlaying.text();
    MetadataOutputs& out = station.metadata.outputs;

    std::string output = text.size() > 6 ? text : station.settings().DefaultStrapline;
    const std::string raw = output;
    if (output.starts_with(" - ")) output.erase(0, 3);

    const bool filtered = station.settings().FilterSystem && IsSystemCommand(output);
    std::string line = filtered ? station.settings().DefaultStrapline : output;
    const bool changed = !out.written || line != out.metadataLine;
    out.metadataLine = std::move(line);
    WriteOneLine(station, "metadata.txt", out.metadataLine);

    std::string extra = output;
    const std::string& noPrefix = station.settings().DoNotPrefixWhenContains;
    const bool skipPrefix = noPrefix.size() >= 2 && output.size() >= noPrefix.size() + 3 &&
                            output.find(noPrefix) != std::string::npos;
    if (!skipPrefix && station.settings().ExtraMetaNowPlaying != "OFF")
        extra = station.settings().ExtraMetaNowPlaying + " " + extra;

    // The weather takes the extra line for the second half of every console
    // minute (TimerCount runs 0..120); a short sentence is none.
    const std::optional<std::string>& weather = station.metadata.weather.sentence;
    if (station.settings().MetaWeather && weather && weather->size() > 10 && s.TimerCount > 60)
        extra = *weather;

    out.traffic = ContainsNoCase(raw, kTrafficMarker);
    // A system command reaches metaextra.txt unchanged, whatever the steps
    // above made of the line.
    out.command = IsSystemCommand(raw);
    if (out.command) extra = raw;
    out.extraLine = extra;
    out.written = true;
    WriteOneLine(station, "metaextra.txt", extra);

    if (out.paidAiringUnwritten) {
        const PaidItem& paid = station.nowPlaying.paidAiring();
        std::string content = paid.stamp;
        content += kCrLf;
        content += paid.item;
        content += kCrLf;
        // A file that cannot be written is tried again at the next tick.
        out.paidAiringUnwritten = !NoteFileWrite(
            station, "tallyway.txt", ReplaceFile(station.file("tallyway.txt"), content, Durability::Synced));
    }
    if (changed) PostEvent(station, &StationListener::metadataLineChanged, out.metadataLine);
}

}  // namespace bf
