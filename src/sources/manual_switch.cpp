#include "sources/manual_switch.h"

#include <string>

#include "core/pause.h"
#include "core/station.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "core/timer_names.h"
#include "sources/player_control.h"
#include "sources/source_list.h"

namespace bf {

namespace {

// Keeps a button disabled for the life of the guard. The switch's source
// list report waits on a fetch while the event loop runs, so a second click
// could otherwise start a second switch.
class DisabledWhileRunning {
public:
    explicit DisabledWhileRunning(Button& button) : button_(button) { button_.enabled = false; }
    ~DisabledWhileRunning() { button_.enabled = true; }
    DisabledWhileRunning(const DisabledWhileRunning&) = delete;
    DisabledWhileRunning& operator=(const DisabledWhileRunning&) = delete;

private:
    Button& button_;
};

void EndFailover(StationState& s) {
    s.SilenceFlag = 0;
    s.LinkFailCount = 0;
    s.WasPlaying = -1;
}

}  // namespace

bool ForceSwitch(Station& station, std::string_view number) {
    const DisabledWhileRunning guard(station.console.cmdForceSwitch);

    // A switch the station refuses leaves the failover as it is; each
    // refused request is logged.
    if (PlayableSource(station, number)) EndFailover(station.state);
    station.state.RefusedSource.reset();
    const std::optional<SourceEntry> entry = SwitchSource(station, number);
    if (!entry) return false;

    const std::string& command = entry->command;
    if (command.size() > 4) {
        station.processes.runShellCommand(command);
        AddToAirLog(station, "  RUNNING EXTERNAL COMMAND (" + command + ")");
    }
    return true;
}

void cmdForceSwitch_Click(Station& station) {
    // A copy: the list may change while the switch runs the event loop. An
    // empty list text gives an empty number, which finds no source, like an
    // unchosen list.
    const std::string number = station.console.comboSourceList.text.substr(0, 1);
    station.counters.nextSwitchCause = SwitchCause::Operator;
    ForceSwitch(station, number);
}

void cmdForceSource_Click(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;

    station.timers.stop(TimerName::SourceCheck);
    station.timers.stop(TimerName::CheckMplayerOK);
    EndFailover(s);

    const std::string number = c.lblSourceDisp.caption;
    ShowSourceOnAir(station, number);
    c.lblDebug.caption = s.PlayURL;

    // A clean restart on slot 1, with no overlap and no old output left.
    StopPlayers(station);
    RemoveFile(station.file("mplayer1.log"));
    RemoveFile(station.file("mplayer2.log"));
    RemoveFile(station.file("mplayer.log"));
    RemoveFile(station.file("metadata.txt"));
    RemoveFile(station.file("metaextra.txt"));
    StartPlayer(station, 1, s.PlayURL);
    Pause(station, 5.0);

    s.CurrentMplayer = 1;
    ShowSourceNumber(station, number);
    station.counters.countSwitch(SwitchCause::Operator);

    AddToAirLog(station, "  USR - USER FORCED SWITCH FROM BACKUP (SOURCE " + number + ")");

    station.timers.start(TimerName::CheckMplayerOK);
    if (s.CheckSource == "1") {
        c.lblFailText.caption = "WAITING";
        c.lblFailCheckTime.caption = "NONE";
        c.lblFailURL.caption = "PERFORMING INITIAL CHECKS";
        station.timers.start(TimerName::SourceCheck);
    } else {
        c.lblFailText.caption = "DISABLED";
        c.lblFailURL.caption = "NONE";
        c.lblFailCheckTime.caption = "NONE";
    }
}

}  // namespace bf
