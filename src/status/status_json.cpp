#include "status/status_json.h"

#include <cstdio>
#include <initializer_list>

#include "console/display_text.h"
#include "core/station.h"
#include "core/time_format.h"

namespace bf {

namespace {

// Station log lines the status shows, newest first.
constexpr size_t kLogLines = 20;

struct Field {
    std::string_view name;
    std::string json;
};

std::string Object(std::initializer_list<Field> fields) {
    std::string out = "{";
    for (const Field& f : fields) {
        if (out.size() > 1) out += ',';
        out.append("\"").append(f.name).append("\":").append(f.json);
    }
    return out + "}";
}

std::string Text(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : Utf8(bytes)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string Number(int64_t value) {
    return std::to_string(value);
}
std::string Bool(bool value) {
    return value ? "true" : "false";
}

// The newest lines of the station log, without their leading blank.
std::string LogLines(const std::string& txtAIR) {
    std::string out = "[";
    size_t at = 0;
    for (size_t n = 0; n < kLogLines && at < txtAIR.size(); ++n) {
        size_t end = txtAIR.find("\r\n", at);
        if (end == std::string::npos) end = txtAIR.size();
        std::string_view line = std::string_view(txtAIR).substr(at, end - at);
        if (line.starts_with(' ')) line.remove_prefix(1);
        if (n > 0) out += ',';
        out += Text(line);
        at = end + 2;
    }
    return out + "]";
}

}  // namespace

std::string Utf8(std::string_view bytes) {
    return DecodeForDisplay(bytes).toUtf8().toStdString();
}

std::string CssColour(std::optional<uint32_t> colour) {
    if (!colour) return {};
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", *colour & 0xFF, (*colour >> 8) & 0xFF,
                  (*colour >> 16) & 0xFF);
    return text;
}

int64_t SecondsSinceTitleChange(const Station& station) {
    return int64_t{station.state.SystemRuntime} - station.counters.titleChangedAt.value_or(0);
}

std::string StatusJson(const Station& station) {
    const StationState& s = station.state;
    const ConsoleModel& c = station.console;
    const StationCounters& n = station.counters;
    const LocalTime now = station.clock.now();
    auto caption = [](const Label& label) { return Text(label.caption); };
    return Object({
        {"station", Object({{"version", Text(BF_VERSION)},
                            {"time", Text(FormatDateYMD(now) + " " + FormatTime(now))},
                            {"started", caption(c.lblBooted)},
                            {"uptime", caption(c.lblUptime)},
                            {"uptime_seconds", Number(s.SystemRuntime)},
                            {"mode", Text(c.cmdAutoManual.caption)}})},
        {"on_air", Object({{"number", Number(s.CurrentSource)},
                           {"name", caption(c.lblStudio)},
                           {"url", caption(c.lblCurrentSource)},
                           {"slot", Number(s.CurrentMplayer)},
                           {"status", caption(c.lblStatus)},
                           {"lamp", Text(CssColour(c.lblStatus.backColour))}})},
        {"now_playing", Object({{"title", caption(c.lblRXmetadata)},
                                {"output", caption(c.lblMetadataOutput)},
                                {"extra", caption(c.lblMetadataExtra)},
                                {"seconds_since_change", Number(SecondsSinceTitleChange(station))}})},
        {"failover", Object({{"active", Bool(s.SilenceFlag == 1)},
                             {"failed_checks", Number(s.LinkFailCount)},
                             {"status", caption(c.lblFailText)},
                             {"lamp", Text(CssColour(c.lblFail.backColour))},
                             {"tested_url", caption(c.lblFailURL)},
                             {"checked_at", caption(c.lblFailCheckTime)}})},
        {"players", "[" + Object({{"slot", "1"}, {"running", Bool(c.lblMplayer1.caption == "1")}}) + "," +
                        Object({{"slot", "2"}, {"running", Bool(c.lblMplayer2.caption == "2")}}) + "]"},
        {"player_restarts", Number(static_cast<int64_t>(n.playerRestarts))},
        {"schedule", Object({{"next", caption(c.lblNextEvent)}, {"last", caption(c.lblLastEvent)}})},
        {"management", Object({{"status", caption(c.lblConfigurationStatus)}})},
        {"billing", Object({{"last_report", caption(c.lblSentTime)},
                            {"response", caption(c.lblResponse)},
                            {"pending", Number(static_cast<int64_t>(s.PendingReports.size()))},
                            {"sent", Number(static_cast<int64_t>(n.billingReportsSent))},
                            {"refused", Number(static_cast<int64_t>(n.billingReportsRefused))},
                            {"failed", Number(static_cast<int64_t>(n.billingReportsFailed))}})},
        {"air", Object({{"status", caption(c.lblTuneInAir)},
                        {"updated", caption(c.lblAIRupdated)},
                        {"artist", caption(c.lblAIRartist)},
                        {"title", caption(c.lblAIRtitle)}})},
        {"weather", Object({{"status", caption(c.lblWeather)}, {"text", caption(c.lblWeatherText)}})},
        {"api", Object({{"status", caption(c.lblAPIstatus)}, {"last_request", caption(c.lblRemoteStatus)}})},
        {"log", LogLines(c.txtAIR)},
    });
}

}  // namespace bf
