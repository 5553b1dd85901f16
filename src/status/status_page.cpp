#include "status/status_page.h"

#include <map>
#include <string_view>

#include "asrun/as_run_record.h"
#include "core/html_text.h"
#include "core/station.h"
#include "core/text_decode.h"
#include "core/time_format.h"
#include "core/url_credentials.h"
#include "sources/certificate_watch.h"
#include "status/day_timeline.h"
#include "status/status_json.h"

namespace bf {

namespace {

// An element with data-k="on_air.name" shows that field of /status.json, one
// with data-c="on_air.lamp" takes that colour as its background (data-c
// comes first in a tag). The server fills them in below; the script does the
// same with each new reading. Elements with an id are the script's alone.
// The schedule's captions name themselves ("Next: Mon 07:04:32  source 3",
// "No Event Next"), as on the console, so they stand without a label.
constexpr std::string_view kStyle =
    R"css(body{font:15px/1.4 system-ui,sans-serif;margin:0;padding:.5em;background:#eee;color:#111;overflow-wrap:anywhere}
h1{font-size:1.2em;margin:.2em 0}h2{font-size:1em;margin:.2em 0;border-bottom:1px solid #ddd}
main{display:grid;grid-template-columns:repeat(auto-fill,minmax(19em,1fr));gap:.5em}
section{background:#fff;border:1px solid #ccc;border-radius:4px;padding:.3em .6em;margin-bottom:.5em}
dl{display:grid;grid-template-columns:auto 1fr;gap:.1em .7em;margin:.3em 0}
dt{color:#555}dd{margin:0;overflow-wrap:anywhere}
.lamp{padding:0 .4em;border-radius:3px}
pre{white-space:pre-wrap;font-size:.85em;margin:.3em 0}#live{color:#555;margin:.2em 0}section>p{margin:.1em 0}
)css";

// The page's own script: the browser policy lets no script inline run.
constexpr std::string_view kScript =
    R"js(const text = v => Array.isArray(v) ? v.join('\n') : v === true ? 'yes' : v === false ? 'no' : v == null ? '' : String(v);
const field = (s, k) => k.split('.').reduce((o, p) => o == null ? o : o[p], s);
const live = document.getElementById('live');
let shape = null;
// The browser console's controls depend on the mode and the failover: drawn afresh when they change.
async function controls() {
  const old = document.getElementById('controls');
  if (!old) return;
  const page = new DOMParser().parseFromString(await (await fetch('/', {cache: 'no-store'})).text(), 'text/html');
  const fresh = page.getElementById('controls');
  if (fresh) old.replaceWith(fresh);
}
function show(s) {
  document.querySelectorAll('[data-k]').forEach(e => { e.textContent = text(field(s, e.dataset.k)); });
  document.querySelectorAll('[data-c]').forEach(e => { e.style.background = field(s, e.dataset.c) || ''; });
  document.title = s.on_air.name + ' - Brackenfield';
  live.textContent = 'Live: ' + s.on_air.name + ' on air at ' + s.station.time;
  const now = [s.station.mode, s.failover.active, s.on_air.number].join();
  if (shape !== null && shape !== now) controls().catch(() => {});
  shape = now;
}
async function refresh() {
  try {
    show(await (await fetch('status.json', {cache: 'no-store'})).json());
  } catch (e) {
    live.textContent = 'No answer from the station: ' + e.message;
  }
}
// The station tells what changed as it happens; without its event stream (none in the browser, or refused
// and closed: the station's share of streams taken) the page asks every few seconds.
let polling = null;
const poll = () => { polling = polling || setInterval(refresh, 5000); };
refresh();
if (window.EventSource) {
  const events = new EventSource('events');
  events.addEventListener('status', e => show(JSON.parse(e.data)));
  events.onerror = () => {
    live.textContent = 'No answer from the station: trying again';
    if (events.readyState === EventSource.CLOSED) poll();
  };
} else {
  poll();
}
)js";

constexpr std::string_view kPage = R"html(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Brackenfield status</title>
<link rel="stylesheet" href="page.css">
</head><body>
<h1>Brackenfield <span class="lamp" data-c="on_air.lamp" data-k="on_air.status"></span>
<span data-k="on_air.number"></span> <span data-k="on_air.name"></span></h1>
<p id="live"></p><noscript><p>Reload the page for newer values.</p></noscript>
<!--controls-->
<!--day-->
<main>
<section><h2>On air</h2><dl>
<dt>Source</dt><dd data-k="on_air.number"></dd><dt>Name</dt><dd data-k="on_air.name"></dd>
<dt>URL</dt><dd data-k="on_air.url"></dd><dt>Player slot</dt><dd data-k="on_air.slot"></dd>
<dt>Sound</dt><dd data-k="sound.state"></dd><dt>Health</dt><dd data-k="health.reason"></dd>
<dt>Title</dt><dd data-k="now_playing.title"></dd><dt>Output</dt><dd data-k="now_playing.output"></dd>
<dt>Extra line</dt><dd data-k="now_playing.extra"></dd>
</dl></section>
<section><h2>Failover</h2><dl>
<dt>Check</dt><dd><span class="lamp" data-c="failover.lamp" data-k="failover.status"></span></dd>
<dt>Backup on air</dt><dd data-k="failover.active"></dd>
<dt>Backup chain</dt><dd data-k="failover.chain_row"></dd>
<dt>Failed checks</dt><dd data-k="failover.failed_checks"></dd>
<dt>Tested</dt><dd data-k="failover.tested_url"></dd><dt>Last check</dt><dd data-k="failover.checked_at"></dd>
</dl></section>
<!--certificates-->
<section><h2>Players</h2><dl>
<dt>Slot 1 running</dt><dd data-k="players.0.running"></dd>
<dt>Slot 2 running</dt><dd data-k="players.1.running"></dd>
<dt>Slot 1 memory</dt><dd data-k="players.0.memory"></dd><dt>Slot 1 age</dt><dd data-k="players.0.age"></dd>
<dt>Slot 2 memory</dt><dd data-k="players.1.memory"></dd><dt>Slot 2 age</dt><dd data-k="players.1.age"></dd>
<dt>Restarts</dt><dd data-k="player_restarts"></dd><dt>Refreshes</dt><dd data-k="player_refreshes"></dd>
</dl></section>
<section><h2>Schedule</h2><dl>
<dt>Mode</dt><dd data-k="station.mode"></dd>
</dl><p data-k="schedule.next"></p><p data-k="schedule.last"></p></section>
<section><h2>Services</h2><dl>
<dt>Management</dt><dd data-k="management.status"></dd>
<dt>Billing sent</dt><dd data-k="billing.last_report"></dd><dt>Billing reply</dt><dd data-k="billing.response"></dd>
<dt>Billing pending</dt><dd data-k="billing.pending"></dd>
<dt>AIR</dt><dd data-k="air.status"></dd><dt>AIR updated</dt><dd data-k="air.updated"></dd>
<dt>Webhook</dt><dd data-k="notify.status"></dd>
<dt>RDS</dt><dd data-k="rds.status"></dd><dt>RDS line</dt><dd data-k="rds.last_line"></dd>
<dt>Icecast</dt><dd data-k="icecast.status"></dd>
<dt>Weather</dt><dd data-k="weather.status"></dd><dt>Weather line</dt><dd data-k="weather.text"></dd>
<dt>API</dt><dd data-k="api.status"></dd><dt>Last API call</dt><dd data-k="api.last_request"></dd>
</dl></section>
<section><h2>Station</h2><dl>
<dt>Clock</dt><dd data-k="station.time"></dd><dt>Started</dt><dd data-k="station.started"></dd>
<dt>Uptime</dt><dd data-k="station.uptime"></dd><dt>Version</dt><dd data-k="station.version"></dd>
</dl></section>
</main>
<section><h2>Station log</h2><pre data-k="log"></pre></section>
<script src="page.js"></script>
</body></html>
)html";

// A value as the script shows it.
std::string Shown(const StatusValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
    if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "yes" : "no";
    std::string lines;
    for (const std::string& line : std::get<std::vector<std::string>>(value))
        lines += (lines.empty() ? "" : "\n") + line;
    return lines;
}

// When each source's certificate chain ends, for the sources whose chain was
// read; marked once the log says it. Drawn with the page, not refreshed by
// its script: the ends are read once an hour.
std::string CertificateEnds(const Station& station) {
    const auto ends = EarliestCertificateEnds(station.certificates);
    if (ends.empty()) return {};
    const double now = station.clock.now().epoch;
    std::string out = "<section><h2>Certificates</h2><dl>\n";
    for (const auto& [source, reading] : ends) {
        const double end = *reading->expiry;
        const std::string text =
            (end <= now ? "certificate ended " : "certificate ends ") + FormatDateYMD(LocalTimeAt(end));
        const bool near = CertificateEndNear(end, now);
        out += "<dt>Source " + std::to_string(source) + " " +
               HtmlText(WithoutCredentials(ToUtf8(reading->name))) + "</dt><dd>" + (near ? "<mark>" : "") +
               text + (near ? "</mark>" : "") + "</dd>\n";
    }
    return out + "</dl></section>";
}

}  // namespace

std::string StatusPageStyle() {
    return std::string(kStyle) + std::string(DayTimelineStyle());
}

std::string StatusPageScript() {
    return std::string(kScript) + std::string(DayTimelineScript());
}

std::string StatusPage(const Station& station, const ProcessReadings& readings) {
    std::map<std::string_view, std::string> shown;
    for (const StatusField& field : StatusFields(station, readings)) shown[field.path] = Shown(field.value);
    const std::string_view page = kPage;
    std::string out;
    size_t done = 0;
    for (size_t at = page.find("data-"); at != std::string_view::npos; at = page.find("data-", done)) {
        const std::string_view kind = page.substr(at, 8);
        if (kind != "data-k=\"" && kind != "data-c=\"") {
            out.append(page.substr(done, at + 5 - done));
            done = at + 5;
            continue;
        }
        const size_t keyEnd = page.find('"', at + 8);
        const std::string& value = shown[page.substr(at + 8, keyEnd - at - 8)];
        out.append(page.substr(done, keyEnd + 1 - done));
        done = keyEnd + 1;
        if (kind == "data-c=\"") {
            if (!value.empty()) out.append(" style=\"background:" + HtmlText(value) + "\"");
        } else {
            const size_t tagEnd = page.find('>', done) + 1;
            out.append(page.substr(done, tagEnd - done)).append(HtmlText(value));
            done = tagEnd;
        }
    }
    out.append(page.substr(done));
    constexpr std::string_view kCertificates = "<!--certificates-->";
    out.replace(out.find(kCertificates), kCertificates.size(), CertificateEnds(station));
    constexpr std::string_view kDay = "<!--day-->";
    return out.replace(out.find(kDay), kDay.size(),
                       DayTimeline(AsRunRecord(station.workingFolder), station.clock.now()));
}

}  // namespace bf
