#include "status/day_timeline.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "core/time_format.h"

namespace bf {

namespace {

constexpr std::string_view kStyle =
    R"css(#day p{margin:.3em 0}#day svg{display:block;background:#fafafa;border:1px solid #ddd;touch-action:pan-y}
#day-key span{white-space:nowrap;margin-right:.9em}#day-key b{display:inline-block;min-width:.9em;margin-right:.25em}
#day-at{min-height:2.8em;overflow-wrap:anywhere}
)css";

constexpr std::string_view kHead = R"html(<section id="day"><h2>The day at a glance</h2>
<p><select id="day-choice" aria-label="Day"></select> <a id="day-csv" href="asrun.csv">the day's record (CSV)</a></p>
<svg id="day-picture" width="100%" height="112" role="img" aria-label="What was on air"></svg>
<p id="day-at">Point at the picture (or touch it) for what was on air then, and why.</p><p id="day-key"></p>
)html";

// Draws the picture. Titles are the stream servers' bytes: the file is read
// as bytes and each field shown as the page shows the station's text
// elsewhere, UTF-8 when it is, Latin-1 otherwise; they reach the page only
// as text, never as markup.
constexpr std::string_view kScript = R"js((() => {
const svg = document.getElementById('day-picture'), choice = document.getElementById('day-choice');
const at = document.getElementById('day-at'), key = document.getElementById('day-key');
const csv = document.getElementById('day-csv'), NS = 'http://www.w3.org/2000/svg';
const ASRUN = JSON.parse(document.getElementById('asrun').textContent);
const loaded = Date.now() / 1000, now = () => ASRUN.now + Date.now() / 1000 - loaded;
const days = ASRUN.days.map(([date, from, to, kept]) => ({date, from, to, kept}));  // the newest first
const today = days[0];
// Sources 0 (the backup), 1, 2, ... and the last resort.
const COLOURS = ['#9e9e9e', '#1f77b4', '#2ca02c', '#ff7f0e', '#9467bd', '#17becf', '#bcbd22', '#e377c2', '#8c564b'];
const colour = s => s < 0 ? '#222' : COLOURS[s % COLOURS.length];
// Marks, each kind on a line of its own beneath the band: glyph, colour, line.
const MARKS = {'failover': ['\u25bc', '#d00000', 71], 'last resort': ['\u25a0', '#222', 83],
               'stall': ['\u25c6', '#e08000', 95], 'silence': ['\u25cf', '#7000b0', 107]};
const startsStretch = r => r.event === 'on air' || r.event === 'last resort';
const who = r => r.source < 0 ? 'the last resort' : r.source + ' ' + r.name;

const utf8 = new TextDecoder('utf-8', {fatal: true});
const asUtf8 = b => { try { return utf8.decode(b); } catch (e) { return null; } };
// How many bytes at the end begin a UTF-8 character that does not finish.
function unfinished(b) {
  for (let back = 1; back <= Math.min(3, b.length); ++back) {
    const c = b[b.length - back];
    if ((c & 0xc0) === 0x80) continue;
    const length = c < 0xc2 ? 0 : c <= 0xdf ? 2 : c <= 0xef ? 3 : c <= 0xf4 ? 4 : 0;
    return length > back ? back : 0;
  }
  return 0;
}
// A field (a character a byte) as text: UTF-8 when it is (a character cut
// at the end left off), Latin-1 otherwise; a spreadsheet's guard taken off.
function shown(s) {
  if (/[\x80-\xff]/.test(s)) {
    const b = Uint8Array.from(s, c => c.charCodeAt(0)), tail = unfinished(b), rest = b.subarray(0, b.length - tail);
    const text = asUtf8(b) ?? ((tail > 1 || (tail === 1 && rest.some(x => x >= 0x80))) ? asUtf8(rest) : null);
    if (text !== null) s = text;
  }
  return /^' *[=+\-@]/.test(s) ? s.slice(1) : s;
}
// The fields of one row as RFC 4180 quotes them (a row holds no line end).
function cells(line) {
  const out = [];
  for (let i = 0; i <= line.length;) {
    let value = '', end;
    if (line[i] === '"') {
      for (let j = i + 1;;) {
        const q = line.indexOf('"', j);
        if (q < 0) { value += line.slice(j); end = line.length; break; }
        value += line.slice(j, q);
        if (line[q + 1] !== '"') { end = line.indexOf(',', q + 1); break; }
        value += '"';
        j = q + 2;
      }
    } else {
      end = line.indexOf(',', i);
      value = line.slice(i, end < 0 ? line.length : end);
    }
    out.push(value);
    if (end < 0 || end >= line.length) break;
    i = end + 1;
  }
  return out;
}
function parse(buffer) {
  const bytes = new Uint8Array(buffer);
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
  const lines = text.split(/\r?\n/), head = cells(lines[0] || ''), col = name => head.indexOf(name);
  const [T, E, V, S, N, C, D] = ['time', 'epoch', 'event', 'source', 'name', 'cause', 'detail'].map(col);
  const rows = [];
  for (const line of lines.slice(1)) {
    const f = cells(line), t = Number(f[E]);
    if (!line || f[E] === '' || !Number.isFinite(t)) continue;
    rows.push({t, time: f[T] || '', event: f[V] || '', source: f[S] ? Number(f[S]) : -1,
               name: shown(f[N] || ''), cause: shown(f[C] || ''), detail: shown(f[D] || '')});
  }
  return rows;
}
const files = new Map();
async function load(day) {
  if (day !== today && files.has(day.date)) return files.get(day.date);
  const reply = await fetch('asrun.csv?day=' + day.date, {cache: 'no-store'});
  if (!reply.ok && reply.status !== 404) throw new Error('asrun.csv: ' + reply.status);
  const rows = reply.ok ? parse(await reply.arrayBuffer()) : [];
  files.set(day.date, rows);
  return rows;
}
// The rows of the days in the window, and of the days before it back to the
// row that began the stretch on air as the window opens.
async function rowsFor(from, to) {
  let rows = [];
  const before = [];
  for (const d of days) {
    if (d.from >= to) continue;
    if (d.to > from) { if (d.kept || d === today) rows = (await load(d)).concat(rows); }
    else if (d.kept) before.push(d);
  }
  for (const d of before.slice(0, 7)) {
    if (rows.some(r => startsStretch(r) && r.t <= from)) break;
    rows = (await load(d)).concat(rows);
  }
  return rows.sort((a, b) => a.t - b.t);
}
// The station's wall clock at t (an hour off after a clock change that day).
function clock(t) {
  const d = days.find(d => d.from <= t) || today, m = Math.floor((t - d.from) / 60);
  return String(Math.floor(m / 60) % 24).padStart(2, '0') + ':' + String(m % 60).padStart(2, '0');
}
function add(name, attrs, text, parent = svg) {
  const e = parent === svg || parent.namespaceURI === NS ? document.createElementNS(NS, name) : document.createElement(name);
  for (const k in attrs) e.setAttribute(k, attrs[k]);
  if (text != null) e.textContent = text;
  return parent.appendChild(e);
}
let shownRows = [], shownFrom = 0, shownTo = 1;
function paint(rows, from, to) {
  const x = t => (Math.min(Math.max(t, from), to) - from) / (to - from) * 100;
  const pct = t => x(t).toFixed(3) + '%', end = Math.min(to, now());
  svg.replaceChildren();
  key.replaceChildren();
  shownRows = rows, shownFrom = from, shownTo = to;
  add('rect', {x: 0, y: 18, width: '100%', height: 40, fill: '#eee'});
  for (const d of days) for (let h = 0; h < 24; ++h) {
    const t = d.from + h * 3600;
    if (t < from || t > to || t >= d.to) continue;
    add('line', {x1: pct(t), x2: pct(t), y1: 14, y2: 58, stroke: h ? '#ccc' : '#888'});
    if (h % 3 || x(t) > 93 || x(t) < 3) continue;
    add('text', {x: pct(t), y: 11, 'font-size': 11, 'text-anchor': 'middle', fill: '#555'}, clock(t));
  }
  const stretches = rows.filter(startsStretch), sources = new Map();
  stretches.forEach((r, i) => {
    const until = i + 1 < stretches.length ? stretches[i + 1].t : end;
    if (until <= from || r.t >= to) return;
    const band = add('rect', {'data-event': r.event, 'data-at': r.t, 'data-source': r.source, x: pct(r.t), y: 18,
                              width: (x(until) - x(r.t)).toFixed(3) + '%', height: 32, fill: colour(r.source)});
    add('title', {}, who(r) + ', ' + r.time.slice(11) + ' (' + r.cause + ')', band);
    sources.set(r.source, who(r));
  });
  // A line for each title, a mark on its kind's line for each failover, last
  // resort, stall and silence; a flood of them is thinned to one a pixel.
  const within = rows.filter(r => r.t >= from && r.t <= to), gap = within.length > 4000 ? 0.1 : 0, lastAt = {};
  for (const r of within) {
    const mark = MARKS[r.event], tag = {'data-event': r.event, 'data-at': r.t};
    if ((!mark && r.event !== 'title') || x(r.t) - (lastAt[r.event] ?? -1) < gap) continue;
    lastAt[r.event] = x(r.t);
    if (!mark) {
      add('title', {}, r.time.slice(11) + ' ' + r.detail,
          add('line', {...tag, x1: pct(r.t), x2: pct(r.t), y1: 50, y2: 58, stroke: '#333'}));
      continue;
    }
    if (r.event === 'failover') add('line', {x1: pct(r.t), x2: pct(r.t), y1: 18, y2: 58, stroke: mark[1]});
    add('title', {}, r.time.slice(11) + ' ' + r.event + (r.detail ? ': ' + r.detail : ''),
        add('text', {...tag, x: pct(r.t), y: mark[2], 'font-size': 12, 'text-anchor': 'middle', fill: mark[1]},
            mark[0]));
  }
  if (now() <= to + 60) {
    add('line', {x1: pct(end), x2: pct(end), y1: 14, y2: 110, stroke: '#000', 'stroke-width': 2});
    add('text', {x: pct(end), y: 11, 'font-size': 11, 'text-anchor': 'end'}, 'now');
  }
  if (!sources.size)
    add('text', {x: '50%', y: 40, 'text-anchor': 'middle', fill: '#555', 'font-size': 13, stroke: '#eee',
                 'stroke-width': 5, 'paint-order': 'stroke'},
        rows.length ? 'Nothing on air in the record for this time' : 'No as-run record for this time yet');
  const keyItem = (look, glyph, what) => add('b', look, glyph, add('span', {}, null, key)).after(what);
  for (const [source, name] of sources) keyItem({style: 'background:' + colour(source)}, '\u00a0', name);
  for (const [event, [glyph, fill]] of Object.entries(MARKS)) keyItem({style: 'color:' + fill}, glyph, event);
  keyItem({}, '\u2502', 'a title');
}
function explain(event) {
  const box = svg.getBoundingClientRect();
  const t = shownFrom + (event.clientX - box.left) / box.width * (shownTo - shownFrom);
  let stretch = null, title = null, mark = null;
  for (const r of shownRows) {
    if (r.t > t) break;
    if (startsStretch(r)) stretch = r, title = null;
    else if (r.event === 'title') title = r;
    if (MARKS[r.event] && t - r.t < (shownTo - shownFrom) / 100) mark = r;
  }
  at.textContent = clock(t) + ': ' + (stretch ? who(stretch) + ' on air since ' + stretch.time.slice(11) +
      ' (' + stretch.cause + ')' : 'nothing in the record') + (title ? '. Title: ' + title.detail : '') +
      (mark ? '. ' + mark.time.slice(11) + ' ' + mark.event + (mark.detail ? ': ' + mark.detail : '') : '');
}
let drawing = 0;
async function draw() {
  const ticket = ++drawing, day = days.find(d => d.date === choice.value);
  const to = !day || day === today ? now() : day.to, from = day ? day.from : to - 86400;
  csv.href = 'asrun.csv' + (day ? '?day=' + day.date : '');
  try {
    const rows = await rowsFor(from, to);
    if (ticket === drawing) paint(rows, from, to);
  } catch (e) {
    if (ticket === drawing) at.textContent = 'The record could not be read: ' + e.message;
  }
}
const weekday = date => new Date(date + 'T12:00:00Z').toLocaleDateString('en-GB', {weekday: 'short', timeZone: 'UTC'});
choice.add(new Option('Last 24 hours', ''));
for (const d of days) if (d.kept) choice.add(new Option((d === today ? 'Today, ' : weekday(d.date) + ' ') + d.date, d.date));
choice.addEventListener('change', draw);
svg.addEventListener('pointermove', explain);
svg.addEventListener('pointerdown', explain);
draw();
// The last 24 hours and today follow the clock; a new day is a new list of days.
setInterval(() => {
  if (now() >= ASRUN.tomorrow) location.reload();
  else if (!choice.value || choice.value === today.date) draw();
}, 60000);
})();
)js";

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

struct Day {
    std::string date;
    double from = 0;  // its local midnight
};

// The local day `back` days before today, found from its noon so that a
// clock change between the two days cannot move it to another date.
Day DayBefore(const LocalTime& now, int back) {
    const LocalTime noon = LocalTimeAt(now.epoch - now.secondsSinceMidnight + 43200.0 - back * 86400.0);
    double from = noon.epoch - noon.secondsSinceMidnight;
    // A clock change between midnight and noon: the midnight moves by its hour.
    const LocalTime check = LocalTimeAt(from);
    from += check.day == noon.day ? -check.secondsSinceMidnight : 86400.0 - check.secondsSinceMidnight;
    return {FormatDateYMD(noon), from};
}

}  // namespace

std::string_view DayTimelineStyle() {
    return kStyle;
}

std::string_view DayTimelineScript() {
    return kScript;
}

std::string DayTimeline(const AsRunRecord& record, const LocalTime& now) {
    const std::vector<std::string> kept = record.days();
    std::string days, links;
    double to = now.epoch;
    for (int back = 0; back < AsRunRecord::kDaysKept; ++back) {
        const Day day = DayBefore(now, back);
        const bool held = std::binary_search(kept.begin(), kept.end(), day.date);
        if (held || back < 2)
            days += std::string(days.empty() ? "" : ",") + "[\"" + day.date + "\"," + Number(day.from) + "," +
                    Number(to) + "," + (held ? "1" : "0") + "]";
        if (held) links += " <a href=\"asrun.csv?day=" + day.date + "\">" + day.date + "</a>";
        to = day.from;
    }
    return std::string(kHead) + "<noscript><p>The picture needs JavaScript. The record by day:" +
           (links.empty() ? " none yet" : links) +
           "</p></noscript>\n<script type=\"application/json\" id=\"asrun\">{\"now\": " + Number(now.epoch) +
           ", \"days\": [" + days + "], \"tomorrow\": " + Number(DayBefore(now, -1).from) +
           "}</script>\n</section>\n";
}

}  // namespace bf
