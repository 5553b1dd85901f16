#include "metadata/metadata_outputs.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/file_trouble.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_decode.h"
#include "core/text_file.h"
#include "core/time_format.h"
#include "metadata/weather.h"

namespace bf {

namespace {

constexpr std::string_view kSystemMarker = "!!*SYS*!!";
constexpr std::string_view kTrafficMarker = "!!*SYS*!!*TA1*!!";
constexpr std::string_view kCrLf = "\r\n";
constexpr size_t kExtraLabelWidth = 64;

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void SetIndicator(Label& label, bool lit) {
    label.foreColour = lit ? Colour::White : Colour::DimText;
    label.backColour = lit ? Colour::Red : Colour::DimBackground;
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

void WriteBillingOutputs(Station& station, std::string_view title) {
    const LocalTime now = station.clock.now();
    const std::string stamp = FormatBillingStamp(now);
    const std::string message = "  PAY - " + std::string(title);
    station.console.lblTraffic.caption = FormatDateYMD(now) + " " + FormatTime(now) + message;
    AddToAirLog(station, message);
    std::string content = stamp;
    content += kCrLf;
    content += title;
    content += kCrLf;
    NoteFileWrite(station, "tallyway.txt",
                  ReplaceFile(station.file("tallyway.txt"), content, Durability::Synced));
    station.state.TallywayTT = stamp;
    station.state.TallywayMM = std::string(title);
}

void ResumePaidAiring(Station& station) {
    const std::optional<std::vector<std::string>> lines = ReadLines(station.file("tallyway.txt"));
    if (lines && lines->size() >= 2 && IsBillingTitle((*lines)[1]))
        station.state.PaidTitleOnAir = (*lines)[1];
}

void ProduceMetadataOutputs(Station& station) {
    const StationState& s = station.state;
    ConsoleModel& c = station.console;

    std::string output = s.RXmetadata.size() > 6 ? s.RXmetadata : station.settings().DefaultStrapline;
    const std::string raw = output;
    if (output.starts_with(" - ")) output.erase(0, 3);

    const bool filtered = station.settings().FilterSystem && IsSystemCommand(output);
    const std::string& metadataLine = filtered ? station.settings().DefaultStrapline : output;
    WriteOneLine(station, "metadata.txt", metadataLine);
    c.lblMetadataOutput.caption = metadataLine;

    std::string extra = output;
    const std::string& noPrefix = station.settings().DoNotPrefixWhenContains;
    const bool skipPrefix = noPrefix.size() >= 2 && output.size() >= noPrefix.size() + 3 &&
                            output.find(noPrefix) != std::string::npos;
    if (!skipPrefix && station.settings().ExtraMetaNowPlaying != "OFF")
        extra = station.settings().ExtraMetaNowPlaying + " " + extra;

    // The weather takes the extra line for the second half of every console
    // minute (TimerCount runs 0..120); a short caption is no weather sentence,
    // and neither is the placeholder shown until the first fetch.
    const std::string& weather = c.lblWeatherText.caption;
    if (station.settings().MetaWeather && weather.size() > 10 && weather != kNoWeatherData &&
        s.TimerCount > 60)
        extra = weather;

    SetIndicator(c.lblRDSactive, ContainsNoCase(raw, kTrafficMarker));
    // A system command reaches metaextra.txt unchanged, whatever the steps
    // above made of the line.
    const bool command = IsSystemCommand(raw);
    if (command) extra = raw;
    SetIndicator(c.lblAPIactive, command);

    c.lblMetadataExtra.caption = CutAtCharacter(extra, kExtraLabelWidth);
    WriteOneLine(station, "metaextra.txt", extra);
}

}  // namespace bf
