#include "status/status_json.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <span>

#include "apiserver/api_server.h"
#include "core/json_text.h"
#include "core/station.h"
#include "core/text_decode.h"
#include "core/time_format.h"
#include "core/url_credentials.h"
#include "schedule/event_tick.h"
#include "schedule/next_event.h"
#include "sources/air_hearing.h"
#include "status/air_health.h"
#include "status/process_readings.h"
#include "views/console_view.h"
#include "views/uptime_text.h"

namespace bf {

namespace {

// Station log lines the status shows, newest first.
constexpr size_t kLogLines = 20;
constexpr size_t kStampLength = 19;  // "YYYY-MM-DD hh:mm:ss"

std::string JsonOf(const StatusValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return JsonQuoted(*text);
    if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    std::string out = "[";
    for (const std::string& line : std::get<std::vector<std::string>>(value))
        out += (out.size() > 1 ? "," : "") + JsonQuoted(line);
    return out + "]";
}

// The newest lines of the station log, without their leading blank; the
// browser console's only with `webLines`.
std::vector<std::string> LogLines(const std::string& txtAIR, bool webLines) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (lines.size() < kLogLines && at < txtAIR.size()) {
        size_t end = txtAIR.find("\r\n", at);
        if (end == std::string::npos) end = txtAIR.size();
        std::string_view line = std::string_view(txtAIR).substr(at, end - at);
        at = end + 2;
        if (line.starts_with(' ')) line.remove_prefix(1);
        // The browser console's lines name its users and their addresses:
        // never shown to whoever reads the status.
        if (!webLines && line.substr(std::min(line.size(), kStampLength)).starts_with("  WEB - ")) continue;
        lines.push_back(WithoutCredentials(ToUtf8(line)));
    }
    return lines;
}

std::vector<std::string_view> PartsOf(std::string_view path) {
    std::vector<std::string_view> parts;
    for (size_t at = 0; at <= path.size();) {
        const size_t dot = std::min(path.find('.', at), path.size());
        parts.push_back(path.substr(at, dot - at));
        at = dot + 1;
    }
    return parts;
}

bool IsIndex(std::string_view part) {
    return !part.empty() && part[0] >= '0' && part[0] <= '9';
}

// The webhook told of trouble: its scheme and host only, never its path.
std::string NotifyStatusText(const NotifyRecord& notify) {
    if (notify.target.empty()) return "Off";
    if (!notify.failing.empty()) return "Failing (" + notify.target + "): " + notify.failing;
    return "Telling " + notify.target;
}

// What the RDS feed and the Icecast updates do, in a few words.
std::string RdsStatusText(const TitleOutputsRecord::Rds& rds) {
    if (!rds.on) return "Off";
    if (!rds.failing.empty()) return "Failing (" + rds.target + "): " + rds.failing;
    return (rds.up ? "Sending to " : "Connecting to ") + rds.target;
}

std::string IcecastStatusText(const TitleOutputsRecord::Icecast& icecast) {
    if (!icecast.on) return "Off";
    if (!icecast.failing.empty()) return "Failing (" + icecast.mount + "): " + icecast.failing;
    if (icecast.refused) return "Refused by " + icecast.mount + ": the mount takes no titles";
    if (!icecast.updatedAt) return "Waiting for a title: " + icecast.mount;
    return "Updated " + icecast.mount + " at " + FormatTime(*icecast.updatedAt);
}

// The paths of the chain's fields, link by link.
const std::array<std::array<std::string, 3>, 10>& ChainPaths() {
    static const std::array<std::array<std::string, 3>, 10> paths = [] {
        std::array<std::array<std::string, 3>, 10> made;
        for (size_t i = 0; i < made.size(); ++i)
            for (size_t k = 0; k < 3; ++k)
                made[i][k] = "chain." + std::to_string(i) + "." + std::array{"source", "name", "state"}[k];
        return made;
    }();
    return paths;
}

}  // namespace

std::string CssColour(std::optional<uint32_t> colour) {
    if (!colour) return {};
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", *colour & 0xFF, (*colour >> 8) & 0xFF,
                  (*colour >> 16) & 0xFF);
    return text;
}

int64_t SecondsSinceTitleChange(const StationState& state, const StationCounters& counters) {
    return int64_t{state.SystemRuntime} - counters.titleChangedAt.value_or(0);
}

namespace {

std::vector<StatusField> Fields(const Station& station, const ProcessReadings& readings, bool webLines) {
    const StationState& s = station.state;
    const DrawnLabels drawn(station);
    using M = ConsoleModel;
    const StationCounters& n = station.counters;
    const OnAirRecord& onAir = station.onAir;
    const AirReading air = EarsOf(station).onAir();
    const AirHealth health = JudgeAirHealth(station, readings);
    const std::vector<ChainLink> chain = ChainOf(station.workingFolder, station.settings(), station.onAir);
    const LocalTime now = station.clock.now();
    auto text = [](std::string_view bytes) { return StatusValue(WithoutCredentials(ToUtf8(bytes))); };
    // What the console shows of the health check, the title outputs,
    // billing, AIR, weather and the management link.
    auto caption = [&](Label M::*label) { return text(drawn.text(label)); };
    auto number = [](int64_t value) { return StatusValue(value); };
    return {
        {"station.version", text(BF_VERSION)},
        {"station.time", text(FormatDateYMD(now) + " " + FormatTime(now))},
        {"station.started", text(BootedText(s))},
        {"station.uptime", text(UptimeText(s))},
        {"station.uptime_seconds", number(s.SystemRuntime)},
        {"station.mode", text(ModeName(station.schedule.mode))},
        {"on_air.number", number(onAir.CurrentSource())},
        {"on_air.name", text(onAir.source().name)},
        {"on_air.url", text(onAir.source().url)},
        {"on_air.slot", number(onAir.CurrentMplayer())},
        {"on_air.status", text(OnAirText(station.onAir))},
        {"on_air.lamp", text(CssColour(OnAirColour(station.onAir)))},
        {"now_playing.title", caption(&M::lblRXmetadata)},
        {"now_playing.output", caption(&M::lblMetadataOutput)},
        {"now_playing.extra", caption(&M::lblMetadataExtra)},
        {"now_playing.seconds_since_change",
         number(SecondsSinceTitleChange(station.state, station.counters))},
        {"failover.active", StatusValue(onAir.failoverActive())},
        {"failover.failed_checks", number(onAir.checkFailures())},
        {"failover.status", caption(&M::lblFailText)},
        {"failover.lamp", text(CssColour(drawn.backColour(&M::lblFail)))},
        {"failover.tested_url", caption(&M::lblFailURL)},
        {"failover.checked_at", caption(&M::lblFailCheckTime)},
        {"failover.chain_row", text(ChainRow(chain))},
        {"failover.chain_position", number(ChainPosition(station.settings(), station.onAir))},
        {"sound.state", text(EarsOf(station).inWords())},
        {"sound.stalled", StatusValue(air.sound == AirSound::Stalled || air.sound == AirSound::Dead)},
        {"sound.silent", StatusValue(air.sound == AirSound::Silent)},
        {"sound.level_dbfs", number(std::lround(air.level))},
        {"sound.last_resort", StatusValue(onAir.lastResortOnAir())},
        {"health.healthy", StatusValue(health.healthy)},
        {"health.reason", text(health.reason)},
        {"players.0.slot", number(1)},
        // As the process table said at most a second ago, not as the watchdog last saw it.
        {"players.0.running", StatusValue(readings.playerRunning[0])},
        {"players.0.memory", text(PlayerMemoryText(readings.playerResidentBytes[0]))},
        {"players.0.age", text(PlayerAgeText(readings.playerStartTime[0], now.epoch))},
        {"players.1.slot", number(2)},
        {"players.1.running", StatusValue(readings.playerRunning[1])},
        {"players.1.memory", text(PlayerMemoryText(readings.playerResidentBytes[1]))},
        {"players.1.age", text(PlayerAgeText(readings.playerStartTime[1], now.epoch))},
        {"player_restarts", number(static_cast<int64_t>(n.playerRestarts))},
        {"player_refreshes",
         number(static_cast<int64_t>(n.playerRefreshes[0] + n.playerRefreshes[1] + n.playerRefreshes[2]))},
        {"schedule.next", text(NextEventText(station.schedule))},
        {"schedule.last", text(LastEventText(station.schedule))},
        {"management.status", caption(&M::lblConfigurationStatus)},
        {"billing.last_report", caption(&M::lblSentTime)},
        {"billing.response", caption(&M::lblResponse)},
        {"billing.pending", number(static_cast<int64_t>(station.metadata.billing.pending.size()))},
        {"billing.sent", number(static_cast<int64_t>(n.billingReportsSent))},
        {"billing.refused", number(static_cast<int64_t>(n.billingReportsRefused))},
        {"billing.failed", number(static_cast<int64_t>(n.billingReportsFailed))},
        {"air.status", caption(&M::lblTuneInAir)},
        {"air.updated", caption(&M::lblAIRupdated)},
        {"air.artist", caption(&M::lblAIRartist)},
        {"air.title", caption(&M::lblAIRtitle)},
        {"rds.status", text(RdsStatusText(station.titleOutputs.rds))},
        {"rds.last_line", text(station.titleOutputs.rds.lastLine)},
        {"rds.lines_sent", number(static_cast<int64_t>(station.titleOutputs.rds.linesSent))},
        {"rds.lines_dropped", number(static_cast<int64_t>(station.titleOutputs.rds.linesDropped))},
        {"icecast.status", text(IcecastStatusText(station.titleOutputs.icecast))},
        {"icecast.title", text(station.titleOutputs.icecast.lastTitle)},
        {"notify.status", text(NotifyStatusText(station.notify))},
        {"notify.sent", number(static_cast<int64_t>(station.notify.sent))},
        {"weather.status", caption(&M::lblWeather)},
        {"weather.text", caption(&M::lblWeatherText)},
        {"api.status", text(ApiStatusText(station))},
        {"api.last_request", text(LastRequestText(station))},
        {"log", StatusValue(LogLines(station.log.text(), webLines))},
    };
}

}  // namespace

std::vector<StatusField> StatusFields(const Station& station, const ProcessReadings& readings,
                                      bool webLines) {
    std::vector<StatusField> fields = Fields(station, readings, webLines);
    // The chain, link by link, after the failover.
    std::vector<ChainLink> chain = ChainOf(station.workingFolder, station.settings(), station.onAir);
    const auto at =
        std::ranges::find_if(fields, [](const StatusField& f) { return f.path == "sound.state"; });
    std::vector<StatusField> links;
    for (size_t i = 0; i < chain.size(); ++i) {
        links.push_back({ChainPaths()[i][0], StatusValue(int64_t{chain[i].source})});
        links.push_back({ChainPaths()[i][1], StatusValue(WithoutCredentials(ToUtf8(chain[i].name)))});
        links.push_back({ChainPaths()[i][2], StatusValue(std::string(chain[i].state))});
    }
    fields.insert(at, links.begin(), links.end());
    return fields;
}

namespace {

// Writes the fields, which share their first `depth` path parts, as the JSON
// object (or array, when the next parts are indexes) they make up: fields
// of one container come one after another.
void WriteContainer(std::string& out, std::span<const StatusField> fields, size_t depth) {
    const bool array = IsIndex(PartsOf(fields.front().path)[depth]);
    out += array ? '[' : '{';
    for (size_t from = 0; from < fields.size();) {
        const std::string_view key = PartsOf(fields[from].path)[depth];
        size_t to = from + 1;
        while (to < fields.size() && PartsOf(fields[to].path)[depth] == key) ++to;
        if (from > 0) out += ',';
        if (!array) out += JsonQuoted(key) + ":";
        if (PartsOf(fields[from].path).size() == depth + 1)
            out += JsonOf(fields[from].value);
        else
            WriteContainer(out, fields.subspan(from, to - from), depth + 1);
        from = to;
    }
    out += array ? ']' : '}';
}

}  // namespace

std::string StatusJson(const Station& station, const ProcessReadings& readings, bool webLines) {
    std::string out;
    WriteContainer(out, StatusFields(station, readings, webLines), 0);
    return out;
}

}  // namespace bf
