#include "console/console_dump.h"

#include <QTimer>

#include "core/run_handler.h"
#include "core/station.h"
#include "core/text_file.h"
#include "sources/air_hearing.h"
#include "views/console_view.h"

namespace bf {

std::string EscapeDumpValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

namespace {

void Item(std::string& out, std::string_view name, std::string_view value) {
    out.append(name);
    out += '\t';
    out += EscapeDumpValue(value);
    out += '\n';
}

void Number(std::string& out, std::string_view name, long value) {
    Item(out, name, std::to_string(value));
}

void Flag(std::string& out, std::string_view name, bool value) {
    Item(out, name, value ? "1" : "0");
}

}  // namespace

std::string DumpConsole(const Station& station) {
    // The console as the window would draw it now.
    ConsoleModel c = station.console;
    DrawConsole(station, c);
    const StationState& s = station.state;
    std::string out;
    out.reserve(4096 + c.txtAIR.size());
    for (const auto& named : ConsoleModel::labels()) Item(out, named.name, (c.*named.member).caption);
    for (const auto& named : ConsoleModel::buttons()) Item(out, named.name, (c.*named.member).caption);
    Item(out, "comboSourceList", c.comboSourceList.text);
    Item(out, "txtAIR", c.txtAIR);
    Flag(out, "window.maximized", c.window.maximized);
    Flag(out, "window.sizableBorder", c.window.sizableBorder);
    const OnAirRecord& onAir = station.onAir;
    Number(out, "CurrentMplayer", long{onAir.CurrentMplayer()});
    Number(out, "CurrentSource", long{onAir.CurrentSource()});
    Number(out, "WasPlaying", long{onAir.WasPlaying()});
    Number(out, "SilenceFlag", onAir.failoverActive() ? 1L : 0L);
    Number(out, "LinkFailCount", long{onAir.checkFailures()});
    Number(out, "LinkSource", long{onAir.selected().number});
    Item(out, "LinkStoredSource", onAir.selected().url);
    Item(out, "Failover", kFailoverStateNames[static_cast<size_t>(onAir.failover())]);
    Number(out, "OverlapSlot", long{onAir.overlapSlot()});
    Item(out, "Air", EarsOf(station).inWords());
    Item(out, "NextEvent",
         EntryForm(station.schedule.next ? std::optional(station.schedule.next->entry) : std::nullopt));
    Item(out, "LastEvent",
         EntryForm(station.schedule.last ? std::optional(station.schedule.last->entry) : std::nullopt));
    Item(out, "RXmetadata", station.nowPlaying.text());
    Item(out, "PreviousMetadata", station.nowPlaying.previous());
    Number(out, "TimerCount", long{s.TimerCount});
    Number(out, "SystemRuntime", long{s.SystemRuntime});
    Item(out, "TallywayTT", station.nowPlaying.paidAiring().stamp);
    Item(out, "TallywayMM", station.nowPlaying.paidAiring().item);
    for (size_t i = 0; i < station.api.rows.size(); ++i)
        Item(out, "api.row." + std::to_string(i), station.api.rows[i]);
    Flag(out, "api.created", station.api.created);
    return out;
}

ConsoleDumpFile::ConsoleDumpFile(Station& station, std::filesystem::path path)
    : station_(station), path_(std::move(path)), timer_(std::make_unique<QTimer>()) {
    Update();
    timer_->callOnTimeout([this] { RunHandler(station_, "console dump", [this] { Update(); }); });
    timer_->start(250);
}

ConsoleDumpFile::~ConsoleDumpFile() = default;

void ConsoleDumpFile::Update() {
    std::string dump = DumpConsole(station_);
    if (dump != written_ && ReplaceFile(path_, dump)) written_ = std::move(dump);
}

}  // namespace bf
