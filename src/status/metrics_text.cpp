#include "status/metrics_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

#include "core/station.h"
#include "core/text_decode.h"
#include "core/url_credentials.h"
#include "schedule/event_tick.h"
#include "sources/air_hearing.h"
#include "status/air_health.h"
#include "status/process_readings.h"
#include "status/status_json.h"

namespace bf {

namespace {

// The shortest text that reads back as the same number.
std::string Real(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : "NaN";
}

class Exposition {
public:
    // Starts a metric family.
    void family(std::string_view name, std::string_view type, std::string_view help) {
        out_.append("# HELP ").append(name).append(" ").append(help).append("\n");
        out_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    }
    void sample(std::string_view name, int64_t value, std::string_view labels = {}) {
        line(name, std::to_string(value), labels);
    }
    void real(std::string_view name, double value, std::string_view labels = {}) {
        line(name, Real(value), labels);
    }
    // A family of one sample that is left out when its value is unknown.
    void optional(std::string_view name, std::string_view type, std::string_view help,
                  const std::optional<double>& value) {
        if (!value) return;
        family(name, type, help);
        real(name, *value);
    }
    std::string text() && { return std::move(out_); }

private:
    void line(std::string_view name, std::string_view value, std::string_view labels) {
        out_.append(name);
        if (!labels.empty()) out_.append("{").append(labels).append("}");
        out_.append(" ").append(value).append("\n");
    }
    std::string out_;
};

// name="value", the value escaped as the format asks, without an address's
// user and password.
std::string LabelPair(std::string_view name, std::string_view bytes) {
    std::string out(name);
    out += "=\"";
    for (const char c : ToUtf8(WithoutCredentials(bytes))) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

int64_t Count(uint64_t value) {
    return static_cast<int64_t>(value);
}

}  // namespace

std::string MetricsText(const Station& station, const ProcessReadings& readings) {
    const StationState& s = station.state;
    const StationCounters& n = station.counters;
    Exposition m;

    m.family("brackenfield_build_info", "gauge", "Always 1; its label names the program's version.");
    m.sample("brackenfield_build_info", 1, LabelPair("version", BF_VERSION));
    m.family("brackenfield_on_air_source", "gauge", "Number of the source on air; -1 when none.");
    m.sample("brackenfield_on_air_source", station.onAir.CurrentSource());
    m.family("brackenfield_on_air_info", "gauge", "The source on air: number, name and URL.");
    m.sample("brackenfield_on_air_info", 1,
             LabelPair("number", std::to_string(station.onAir.CurrentSource())) + "," +
                 LabelPair("name", station.onAir.source().name) + "," +
                 LabelPair("url", station.onAir.source().url));
    m.family("brackenfield_failover_active", "gauge", "1 while the backup stands in for a failed source.");
    m.sample("brackenfield_failover_active", station.onAir.failoverActive() ? 1 : 0);
    m.family("brackenfield_failed_checks", "gauge", "Failed health checks in a row (counted up to 3).");
    m.sample("brackenfield_failed_checks", station.onAir.checkFailures());
    m.family("brackenfield_health_checks_total", "counter",
             "Health checks of the source's stream, by result.");
    for (size_t i = 0; i < kHealthCheckResultNames.size(); ++i)
        m.sample("brackenfield_health_checks_total", Count(n.healthChecks[i]),
                 LabelPair("result", kHealthCheckResultNames[i]));
    m.family("brackenfield_health_check_duration_seconds", "histogram",
             "How long health checks that asked the server waited for its answer, error or time-out.");
    const uint64_t checks = n.healthChecksAsked;
    for (size_t i = 0; i < kHealthCheckBuckets.size(); ++i)
        m.sample("brackenfield_health_check_duration_seconds_bucket", Count(n.healthCheckBuckets[i]),
                 LabelPair("le", Real(kHealthCheckBuckets[i])));
    m.sample("brackenfield_health_check_duration_seconds_bucket", Count(checks), "le=\"+Inf\"");
    m.real("brackenfield_health_check_duration_seconds_sum", n.healthCheckSeconds);
    m.sample("brackenfield_health_check_duration_seconds_count", Count(checks));
    m.family("brackenfield_last_health_check_success_timestamp_seconds", "gauge",
             "When a health check last passed, in seconds since the Unix epoch; 0 before the first.");
    m.real("brackenfield_last_health_check_success_timestamp_seconds", n.lastCheckPassedTime);
    m.family("brackenfield_player_running", "gauge", "1 while the slot's player runs.");
    m.sample("brackenfield_player_running", readings.playerRunning[0] ? 1 : 0, "slot=\"1\"");
    m.sample("brackenfield_player_running", readings.playerRunning[1] ? 1 : 0, "slot=\"2\"");
    // A slot whose player does not run has no sample.
    m.family("brackenfield_player_resident_bytes", "gauge",
             "Resident memory of the slot's player processes (its cache process too), in bytes.");
    for (size_t i = 0; i < 2; ++i)
        if (readings.playerResidentBytes[i])
            m.real("brackenfield_player_resident_bytes", *readings.playerResidentBytes[i],
                   LabelPair("slot", std::to_string(i + 1)));
    m.family("brackenfield_player_start_time_seconds", "gauge",
             "When the slot's player started, in seconds since the Unix epoch.");
    for (size_t i = 0; i < 2; ++i)
        if (readings.playerStartTime[i])
            m.real("brackenfield_player_start_time_seconds", std::floor(*readings.playerStartTime[i]),
                   LabelPair("slot", std::to_string(i + 1)));
    const AirReading air = EarsOf(station).onAir();
    m.family("brackenfield_stalled", "gauge", "1 while no audio comes from the stream on air.");
    m.sample("brackenfield_stalled", air.sound == AirSound::Stalled || air.sound == AirSound::Dead ? 1 : 0);
    m.family("brackenfield_silent", "gauge", "1 while the stream on air is silent (SilenceSeconds).");
    m.sample("brackenfield_silent", air.sound == AirSound::Silent ? 1 : 0);
    if (station.settings().SilenceSeconds > 0) {
        m.family("brackenfield_audio_level_dbfs", "gauge", "The RMS level of the stream on air, dBFS.");
        m.sample("brackenfield_audio_level_dbfs", std::lround(air.level));
        m.family("brackenfield_channel_silent", "gauge",
                 "1 while one channel of the stereo source on air is silent and the other plays.");
        for (size_t c = 0; c < 2; ++c)
            m.sample("brackenfield_channel_silent", station.air.channelSilentTold[c] ? 1 : 0,
                     LabelPair("channel", c == 0 ? "left" : "right"));
    }
    m.family("brackenfield_chain_position", "gauge",
             "Where the air is in the backup chain: 0 the selected source, 1..n the nth link, -1 the last "
             "resort or nothing.");
    m.sample("brackenfield_chain_position", ChainPosition(station.settings(), station.onAir));
    if (station.settings().StandbyCheck && station.settings().CheckSource) {
        m.family("brackenfield_standby_healthy", "gauge",
                 "1 while the link of the backup chain is on air or heard playable on standby.");
        for (const ChainLink& link : ChainOf(station.workingFolder, station.settings(), station.onAir))
            m.sample("brackenfield_standby_healthy",
                     link.state == "on air" || link.state == "standby" ? 1 : 0,
                     LabelPair("source", std::to_string(link.source)));
    }
    const auto certificateEnds = EarliestCertificateEnds(station.certificates);
    if (!certificateEnds.empty()) {
        m.family(
            "brackenfield_source_certificate_expiry_timestamp_seconds", "gauge",
            "When the earliest certificate an HTTPS source's server hands over ends, in seconds since the "
            "Unix epoch.");
        for (const auto& [source, reading] : certificateEnds)
            m.real("brackenfield_source_certificate_expiry_timestamp_seconds", *reading->expiry,
                   LabelPair("source", std::to_string(source)));
    }
    m.family("brackenfield_last_resort_active", "gauge", "1 while the last resort file plays.");
    m.sample("brackenfield_last_resort_active", station.onAir.lastResortOnAir() ? 1 : 0);
    m.family("brackenfield_healthy", "gauge",
             "1 while a source plays and is heard, as GET /health judges; 0 otherwise.");
    m.sample("brackenfield_healthy", JudgeAirHealth(station, readings).healthy ? 1 : 0);
    m.family("brackenfield_manual_mode", "gauge",
             "1 in manual mode (no schedule, no failover switches), 0 in automatic mode.");
    m.sample("brackenfield_manual_mode", IsAutomatic(station.schedule) ? 0 : 1);
    m.family("brackenfield_player_restarts_total", "counter", "Players restarted by the watchdog.");
    m.sample("brackenfield_player_restarts_total", Count(n.playerRestarts));
    m.family("brackenfield_player_refreshes_total", "counter",
             "Players on air replaced by a fresh one of the same source, by reason.");
    for (size_t i = 0; i < kRefreshReasonNames.size(); ++i)
        m.sample("brackenfield_player_refreshes_total", Count(n.playerRefreshes[i]),
                 LabelPair("reason", kRefreshReasonNames[i]));
    m.family("brackenfield_switches_total", "counter", "Switches of the source on air, by cause.");
    for (size_t i = 0; i < kSwitchCauseNames.size(); ++i)
        m.sample("brackenfield_switches_total", Count(n.switches[i]),
                 LabelPair("cause", kSwitchCauseNames[i]));
    m.family("brackenfield_seconds_since_title_change", "gauge",
             "Seconds since the now-playing title last changed (since the start before the first title).");
    m.sample("brackenfield_seconds_since_title_change",
             SecondsSinceTitleChange(station.state, station.counters));
    m.family("brackenfield_last_title_change_timestamp_seconds", "gauge",
             "When the now-playing title last changed (the start before the first title), in seconds since "
             "the Unix epoch.");
    m.real("brackenfield_last_title_change_timestamp_seconds",
           n.titleChangedAt ? n.titleChangedTime : n.startedAt);
    m.family("brackenfield_billing_reports_sent_total", "counter", "Billing reports the server answered.");
    m.sample("brackenfield_billing_reports_sent_total", Count(n.billingReportsSent));
    m.family("brackenfield_billing_reports_refused_total", "counter",
             "Billing reports the server refused (kept in tallyway-rejected.txt, not sent again).");
    m.sample("brackenfield_billing_reports_refused_total", Count(n.billingReportsRefused));
    m.family("brackenfield_billing_reports_failed_total", "counter",
             "Billing report attempts without an answer (each is sent again).");
    m.sample("brackenfield_billing_reports_failed_total", Count(n.billingReportsFailed));
    m.family("brackenfield_billing_reports_pending", "gauge",
             "Paid items waiting for the billing server's answer.");
    m.sample("brackenfield_billing_reports_pending",
             static_cast<int64_t>(station.metadata.billing.pending.size()));
    m.family("brackenfield_last_billing_answer_timestamp_seconds", "gauge",
             "When the billing server last answered a report, in seconds since the Unix epoch; 0 before the "
             "first.");
    m.real("brackenfield_last_billing_answer_timestamp_seconds", n.lastBillingAnswerTime);
    const TitleOutputsRecord& outputs = station.titleOutputs;
    m.family("brackenfield_rds_up", "gauge", "1 while the RDS encoder's link is open and takes the lines.");
    m.sample("brackenfield_rds_up", outputs.rds.up ? 1 : 0);
    m.family("brackenfield_rds_lines_sent_total", "counter", "Lines the RDS encoder's link took.");
    m.sample("brackenfield_rds_lines_sent_total", Count(outputs.rds.linesSent));
    m.family("brackenfield_rds_lines_dropped_total", "counter",
             "Lines for the RDS encoder dropped because its link took no more bytes.");
    m.sample("brackenfield_rds_lines_dropped_total", Count(outputs.rds.linesDropped));
    const NotifyRecord& notify = station.notify;
    m.family("brackenfield_notifications_sent_total", "counter", "Messages the webhook (NotifyURL) took.");
    m.sample("brackenfield_notifications_sent_total", Count(notify.sent));
    m.family("brackenfield_notifications_failed_total", "counter",
             "Sends to the webhook that got no answer or an error status (each is tried again).");
    m.sample("brackenfield_notifications_failed_total", Count(notify.failed));
    m.family("brackenfield_notifications_dropped_total", "counter",
             "Messages for the webhook dropped from a full queue or after their last try.");
    m.sample("brackenfield_notifications_dropped_total", Count(notify.dropped));
    m.family("brackenfield_notifications_pending", "gauge", "Messages waiting to be sent to the webhook.");
    m.sample("brackenfield_notifications_pending", static_cast<int64_t>(notify.queued));
    m.family(
        "brackenfield_monitor_titles_dropped_total", "counter",
        "Titles a stream monitor told that were dropped before the title reader took them (never a paid one "
        "while fewer than 1000 wait).");
    m.sample("brackenfield_monitor_titles_dropped_total", Count(station.air.onAirTitles.dropped));
    m.family("brackenfield_icecast_metadata_updates_total", "counter",
             "Title updates of the station's own Icecast mount, by result.");
    for (size_t i = 0; i < kIcecastUpdateResultNames.size(); ++i)
        m.sample("brackenfield_icecast_metadata_updates_total", Count(outputs.icecast.updates[i]),
                 LabelPair("result", kIcecastUpdateResultNames[i]));
    m.family("brackenfield_api_requests_total", "counter",
             "Requests to the remote API, by command and result.");
    for (size_t i = 0; i < kApiCommandNames.size(); ++i) {
        for (size_t r = 0; r < kApiResultNames.size(); ++r) {
            // A request that names no command has no key to be wrong.
            if (kApiCommandNames[i] == "other" && kApiResultNames[r] == "denied") continue;
            m.sample(
                "brackenfield_api_requests_total", Count(n.apiRequests[i][r]),
                LabelPair("command", kApiCommandNames[i]) + "," + LabelPair("result", kApiResultNames[r]));
        }
    }
    m.family(
        "brackenfield_log_lines_dropped_total", "counter",
        "Station log lines standard output did not take (a stalled or gone reader, such as the journal).");
    m.sample("brackenfield_log_lines_dropped_total", Count(n.logLinesDropped));
    m.family("brackenfield_file_write_failures_total", "counter",
             "Writes of the station's files that failed (a full or read-only disk).");
    m.sample("brackenfield_file_write_failures_total", Count(n.fileWriteFailures));
    m.family("brackenfield_uptime_seconds", "gauge", "Seconds since the program started.");
    m.sample("brackenfield_uptime_seconds", s.SystemRuntime);

    // The standard process metrics, named as every Prometheus client names them.
    const ProcessSample& p = readings.process;
    m.optional("process_cpu_seconds_total", "counter", "Total user and system CPU time spent in seconds.",
               p.cpuSeconds);
    m.optional("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.", p.residentBytes);
    m.optional("process_open_fds", "gauge", "Number of open file descriptors.", p.openFds);
    m.optional("process_max_fds", "gauge", "Maximum number of open file descriptors.", p.maxFds);
    m.optional("process_start_time_seconds", "gauge",
               "Start time of the process since unix epoch in seconds.", p.startTimeSeconds);
    return std::move(m).text();
}

}  // namespace bf
