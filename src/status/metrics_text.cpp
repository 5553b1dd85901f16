#include "status/metrics_text.h"

#include <cstdint>
#include <string_view>

#include "core/station.h"
#include "status/status_json.h"

namespace bf {

namespace {

class Exposition {
public:
    // Starts a metric family.
    void family(std::string_view name, std::string_view type, std::string_view help) {
        out_.append("# HELP ").append(name).append(" ").append(help).append("\n");
        out_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    }
    void sample(std::string_view name, int64_t value, std::string_view labels = {}) {
        out_.append(name);
        if (!labels.empty()) out_.append("{").append(labels).append("}");
        out_.append(" ").append(std::to_string(value)).append("\n");
    }
    std::string text() && { return std::move(out_); }

private:
    std::string out_;
};

// name="value", the value escaped as the format asks.
std::string LabelPair(std::string_view name, std::string_view bytes) {
    std::string out(name);
    out += "=\"";
    for (const char c : Utf8(bytes)) {
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

std::string MetricsText(const Station& station) {
    const StationState& s = station.state;
    const ConsoleModel& c = station.console;
    const StationCounters& n = station.counters;
    Exposition m;

    m.family("brackenfield_on_air_source", "gauge", "Number of the source on air; -1 when none.");
    m.sample("brackenfield_on_air_source", s.CurrentSource);
    m.family("brackenfield_on_air_info", "gauge", "The source on air: number, name and URL.");
    m.sample("brackenfield_on_air_info", 1,
             LabelPair("number", std::to_string(s.CurrentSource)) + "," +
                 LabelPair("name", c.lblStudio.caption) + "," + LabelPair("url", c.lblCurrentSource.caption));
    m.family("brackenfield_failover_active", "gauge", "1 while the backup stands in for a failed source.");
    m.sample("brackenfield_failover_active", s.SilenceFlag == 1 ? 1 : 0);
    m.family("brackenfield_failed_checks", "gauge", "Failed health checks in a row (counted up to 3).");
    m.sample("brackenfield_failed_checks", s.LinkFailCount);
    m.family("brackenfield_player_running", "gauge",
             "1 while the slot's player runs, as the watchdog last found it (every 15 s).");
    m.sample("brackenfield_player_running", c.lblMplayer1.caption == "1" ? 1 : 0, "slot=\"1\"");
    m.sample("brackenfield_player_running", c.lblMplayer2.caption == "2" ? 1 : 0, "slot=\"2\"");
    m.family("brackenfield_player_restarts_total", "counter", "Players restarted by the watchdog.");
    m.sample("brackenfield_player_restarts_total", Count(n.playerRestarts));
    m.family("brackenfield_switches_total", "counter", "Switches of the source on air, by cause.");
    for (size_t i = 0; i < kSwitchCauseNames.size(); ++i)
        m.sample("brackenfield_switches_total", Count(n.switches[i]),
                 LabelPair("cause", kSwitchCauseNames[i]));
    m.family("brackenfield_seconds_since_title_change", "gauge",
             "Seconds since the now-playing title last changed (since the start before the first title).");
    m.sample("brackenfield_seconds_since_title_change", SecondsSinceTitleChange(station));
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
    m.sample("brackenfield_billing_reports_pending", static_cast<int64_t>(s.PendingReports.size()));
    m.family("brackenfield_api_requests_total", "counter",
             "Requests to the remote API, by command and result.");
    for (size_t i = 0; i < kApiCommandNames.size(); ++i) {
        for (const int failed : {0, 1}) {
            m.sample("brackenfield_api_requests_total", Count(n.apiRequests[i][failed]),
                     LabelPair("command", kApiCommandNames[i]) + "," +
                         LabelPair("result", failed ? "error" : "ok"));
        }
    }
    m.family("brackenfield_uptime_seconds", "gauge", "Seconds since the program started.");
    m.sample("brackenfield_uptime_seconds", s.SystemRuntime);
    return std::move(m).text();
}

}  // namespace bf
