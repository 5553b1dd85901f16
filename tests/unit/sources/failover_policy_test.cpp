#include "sources/failover_policy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

namespace bf::air {
namespace {

// Sources 0 (the backup) to 5 at http://sN/, named SN; 7 has no URL. The
// last resort file is loop.mp3.
std::optional<AirSource> Playable(std::string_view number) {
    if (number.size() != 1 || number[0] < '0' || number[0] > '5') return std::nullopt;
    return AirSource{static_cast<int16_t>(number[0] - '0'), "S" + std::string(number),
                     "http://s" + std::string(number) + "/"};
}

int NumberOf(const std::string& input) {
    return input == "loop.mp3" ? -1 : input.size() > 8 ? input[8] - '0' : -9;
}

std::string Show(const Command& command) {
    if (const auto* c = std::get_if<StartPlayer>(&command))
        return "start " +
               (c->kind == PlayerInput::LoopedFile ? std::string("LR") : std::to_string(NumberOf(c->input))) +
               "@" + std::to_string(c->slot);
    if (const auto* c = std::get_if<StopPlayer>(&command))
        return c->slot == 0 ? "stop all" : "stop " + std::to_string(c->slot);
    if (const auto* c = std::get_if<Say>(&command)) return c->line.substr(c->line.find(" - ") + 3);
    if (std::holds_alternative<ClearOutputs>(command)) return "clear";
    const auto& told = std::get<Told>(command).event;
    if (const auto* e = std::get_if<SwitchEvent>(&told))
        return "switch " + std::to_string(e->to.number) + " " +
               std::string(kSwitchCauseNames[static_cast<size_t>(e->cause)]);
    if (const auto* e = std::get_if<FailoverEvent>(&told))
        return "failover " + std::to_string(e->failed.number) + " (" + e->reason + ") " +
               std::to_string(static_cast<int>(e->standIn));
    if (const auto* e = std::get_if<AirSource>(&told)) return "return " + std::to_string(e->number);
    if (const auto* e = std::get_if<RestartEvent>(&told))
        return "restart " + std::to_string(e->source.number);
    if (const auto* e = std::get_if<StandbyEvent>(&told))
        return "standby " + std::to_string(e->link.number) + (e->failing ? " failing" : " heard");
    if (const auto* e = std::get_if<RefreshEvent>(&told))
        return "refreshed " + std::to_string(e->source.number) + "@" + std::to_string(e->slot);
    if (const auto* e = std::get_if<RestartsHeld>(&told)) return "held " + std::to_string(e->source.number);
    const auto& e = std::get<LastResortEvent>(told);
    return "last resort " + std::to_string(e.failed.number) + " (" + e.reason + ")";
}

// The policy driven by words: "choose 3" (the operator), "schedule 3", "tick", "fail", "pass", "hear" (a
// check's verdict on the source under test), "flow S" (what the monitor heard flow: "flow -" none), "backup
// fails|passes", "plays", "ends", "silent" (the new player, after 2 s, 2 s and 10 s), "old dead", "dead" (its
// stream), "gone" (the watchdog), "hung", "wait S", "leave", "restart", "stop", "adopt S@N", "manual", "check
// off" (a reload; "reload" one that changes nothing), "adopt 2@1 for 3" (a start kept slot 1's player of 2
// for the scheduled 3; "L" the last resort), "fast", "lr", "lr empty" (a folder without a track), "chain 02"
// (BackupChain 0,2; "chain" one without a word that is a source),
// "standby" (StandbyCheck; "standby off" a reload), "link N fails|passes" (its standby monitor), "refresh"
// (a player due, "refresh soon" before a schedule entry), "|" (what came before is set-up).
struct Air {
    OnAirState s;
    Context c{.checking = true, .lastResortFile = {}, .playable = Playable};
    Flow flow;
    bool oldRunning = true;
    bool streamDead = false;
    std::vector<std::string> trace;

    Decision observe(const Observation& o) {
        c.epoch = c.now;
        Decision d = Decide(s, o, c);
        s = d.next;
        for (const Command& command : d.commands) trace.push_back(Show(command));
        return d;
    }
    Air& operator()(std::string_view words) {
        std::istringstream in{std::string(words)};
        for (std::string w, arg; std::getline(in, w, ',');) {
            w.erase(0, w.find_first_not_of(' '));
            arg = w.substr(w.find(' ') + 1);
            const auto seen = [&](double after, std::optional<bool> running, bool plays) {
                c.now += after;
                observe(SuccessorSeen{plays, running, oldRunning, "Exiting...", streamDead});
            };
            if (w.starts_with("choose")) observe(Choice{arg, SwitchCause::Operator});
            if (w.starts_with("schedule")) observe(Choice{arg, SwitchCause::Schedule});
            if (w == "tick") observe(Tick{"1"});
            const std::map<std::string, Verdict::Kind> kinds = {{"fail", Verdict::Kind::Failed},
                                                                {"pass", Verdict::Kind::Passed},
                                                                {"hear", Verdict::Kind::Hearing}};
            if (kinds.contains(w))
                observe(Verdict{s.failover >= FailoverState::Failover ? s.selected : s.onAir.source,
                                kinds.at(w), w == "fail" ? "refused" : "", false, flow});
            if (w.starts_with("flow")) flow = arg == "-" ? Flow() : Flow(std::stod(arg));
            if (w.starts_with("backup")) observe(BackupHeard{arg == "passes", "stalled", flow});
            if (w == "plays") seen(kOverlapSeconds, true, true);
            if (w == "ends") seen(kOverlapSeconds, false, false);
            if (w == "silent") seen(kOverlapLongestSeconds, true, false);
            if (w == "old dead") oldRunning = false;
            if (w == "dead") streamDead = true;
            if (w == "gone" || w == "hung") observe(PlayerGone{w == "gone"});
            if (w.starts_with("wait")) c.now += std::stod(arg);
            if (w == "leave") observe(LeaveBackup{});
            if (w == "restart") observe(RestartOnAir{});
            if (w == "stop") observe(StopAll{});
            if (w.starts_with("adopt")) {
                const bool lr = arg[0] == 'L';
                Adopt a{static_cast<int16_t>(arg[2] - '0'),
                        lr ? AirSource{-1, "LAST RESORT", "loop.mp3"} : *Playable(arg.substr(0, 1)), 0, true};
                if (arg.size() > 8) a.standsInFor = *Playable(arg.substr(8, 1)), a.lastResort = lr;
                observe(a);
            }
            if (w == "reload") observe(Reload{"1"});
            if (w == "manual") c.automatic = false;
            if (w == "check off") c.checking = false, observe(Reload{"1"});
            if (w == "fast") c.fast = true;
            if (w == "lr") c.lastResortFile = "loop.mp3";
            if (w == "lr empty") c.lastResortPlays = [] { return false; };
            if (w.starts_with("chain")) c.chain.clear(), c.chainSet = true;
            for (size_t at = 6; w.starts_with("chain") && at < w.size(); ++at) c.chain.push_back(w[at] - '0');
            if (w == "standby") c.standbyCheck = true;
            if (w == "standby off") c.standbyCheck = false;
            if (w.starts_with("link"))
                observe(StandbyHeard{*Playable(w.substr(5, 1)), w.ends_with("passes"), "stalled", flow});
            if (w.starts_with("refresh")) observe(Refresh{RefreshReason::Age, 24, 412, w == "refresh soon"});
            if (w == "|") trace.clear();
        }
        return *this;
    }
    std::string state() const {
        std::string text = "on " + std::to_string(s.onAir.source.number) + "@" +
                           std::to_string(s.onAir.slot) + " sel " + std::to_string(s.selected.number) + " " +
                           std::string(kFailoverStateNames[static_cast<size_t>(s.failover)]);
        if (s.restartPending) text += " pending";
        if (s.successor) text += " after " + std::to_string(s.successor->previous.slot);
        return text;
    }
    std::string told() const {
        std::string text;
        for (const std::string& t : trace) text += (text.empty() ? "" : "; ") + t;
        return text;
    }
};

const char* const kHeld =
    "PLAYER RESTARTS HELD - 2 IN A ROW, THE NEXT IN 58 S, EACH LATER ONE WAITS LONGER (UP TO 20 MIN)";

// Each row: the words, what the policy did after the "|" (commands and events, in order), and the state
// after.
TEST(FailoverPolicy, EachCrossingOfTheAirIsDecidedSoundly) {
    const std::string failed =
        "SERVER OR LINK FAILURE - FIRST CHECK; SERVER OR LINK FAILURE; failover 3 (refused) ";
    const std::string refreshed = "PLAYER mplayer1 REFRESHED AFTER 24.0 H (412 MB)";
    const std::tuple<std::string, std::string, std::string> rows[] = {
        // The default mode stops the failing player at the failover; the fast mode lets it play its buffer.
        {"choose 3, plays, |, fail, fail, plays, flow 20, pass, plays",
         failed +
             "0; stop all; start 0@2; switch 0 failover; stop 1; SELECTED SOURCE ONLINE; start 3@1; switch 3 "
             "return; stop 2; return 3",
         "on 3@1 sel 3 normal"},
        {"fast, choose 3, plays, |, fail, fail, plays", failed + "0; start 0@2; switch 0 failover; stop 1",
         "on 0@2 sel 3 failover"},
        // No return before the stream flowed for the hold; the monitor's hearing makes it then.
        {"choose 3, plays, fail, fail, plays, flow 5, pass, tick, flow 14, hear, |, flow 15, hear",
         "SELECTED SOURCE ONLINE; start 3@1; switch 3 return", "on 3@1 sel 3 returning after 2"},
        // A choice during a failover is the source to return to; a failed check there counts from one.
        {"choose 3, plays, fail, fail, plays, |, choose 4, tick, fail",
         "SERVER OR LINK FAILURE - FIRST CHECK", "on 0@2 sel 4 failover"},
        {"choose 3, plays, |, choose 7, schedule 7, schedule 7, choose 8",
         "SWITCH REFUSED - NO PLAYABLE URL (SOURCE 7); SWITCH REFUSED - NO PLAYABLE URL (SOURCE 8)",
         "on 3@1 sel 3 normal"},
        // A switch while the new player has not yet played takes its place; the player on air plays on.
        {"choose 3, plays, |, choose 4, choose 5, plays",
         "start 4@2; switch 4 operator; stop 2; start 5@2; switch 5 "
         "operator; stop 1",
         "on 5@2 sel 5 normal"},
        // A held restart is a failover in automatic mode with the check: the backup plays meanwhile, and the
        // source returns when it may start again and its player plays.
        {"choose 3, plays, gone, tick, plays, gone, tick, plays, gone, |, tick, plays, pass, tick, wait 60, "
         "tick, plays",
         std::string(kHeld) +
             "; held 3; failover 3 (player restarts held (2 in a row)) 0; start 0@2; switch 0 failover; "
             "stop 1; SELECTED SOURCE ONLINE; start 3@1; switch 3 return; stop 2; return 3",
         "on 3@1 sel 3 normal"},
        {"manual, choose 3, plays, gone, tick, plays, gone, tick, plays, gone, |, tick",
         std::string(kHeld) + "; held 3", "on 3@1 sel 3 normal pending"},
        // The check turned off during a failover ends it: the selected source plays, in manual mode what
        // plays.
        {"choose 3, plays, fail, fail, plays, |, check off, plays",
         "start 3@1; switch 3 return; return 3; stop 2", "on 3@1 sel 3 normal"},
        {"choose 3, plays, fail, fail, plays, manual, |, check off", "", "on 0@2 sel 0 normal"},
        // A new player that cannot play leaves the old one on air (and in the record); the source is tried
        // again, then fails over.
        {"choose 3, plays, |, choose 4, ends, tick, ends, tick, plays",
         "start 4@2; switch 4 operator; NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 4) - OLD PLAYER "
         "PLAYS ON; "
         "stop 2; restart 4; start 4@2; switch 4 restart; NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE "
         "4) - OLD "
         "PLAYER PLAYS ON; stop 2; failover 4 (the player cannot play it (ended before playing, twice in a "
         "row): "
         "Exiting...) 0; start 0@2; switch 0 failover; stop 1",
         "on 0@2 sel 4 failover"},
        {"choose 3, plays, old dead, |, choose 4, silent",
         "start 4@2; switch 4 operator; NEW PLAYER mplayer2 SILENT BEFORE PLAYING (SOURCE 4) - OLD PLAYER "
         "STOPPED; "
         "stop 1; restart 4",
         "on 4@2 sel 4 normal pending"},
        // The watchdog finds the old player gone too: the selected source starts again, not the old one.
        {"choose 3, plays, choose 4, ends, |, gone, tick", "stop all; restart 3; start 4@2; switch 4 restart",
         "on 4@2 sel 4 normal after 1"},
        // A backup its player cannot play is tried again as a restart, and held.
        {"fast, choose 3, plays, fail, fail, |, ends, tick, ends, tick, ends, tick",
         "NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 0) - OLD PLAYER PLAYS ON; stop 2; restart 0; "
         "start 0@2; "
         "switch 0 restart; NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 0) - OLD PLAYER PLAYS ON; stop "
         "2; restart "
         "0; start 0@2; switch 0 restart; NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 0) - OLD PLAYER "
         "PLAYS ON; "
         "stop 2; restart 0; " +
             std::string(kHeld) + "; held 0",
         "on 3@1 sel 3 failover"},
        // Restarts held while the stream was dead are made as soon as it is heard again.
        {"schedule 0, plays, dead, old dead, gone, tick, ends, tick, ends, tick, |, flow 20, pass, tick",
         "SELECTED SOURCE ONLINE; start 0@2; switch 0 return", "on 0@2 sel 0 returning after 1"},
        // A start that kept the backup's player: the scheduled source that cannot play leaves it on air.
        {"adopt 0@1, |, schedule 3, ends",
         "start 3@2; switch 3 schedule; NEW PLAYER mplayer2 ENDED BEFORE PLAYING "
         "(SOURCE 3) - OLD PLAYER PLAYS ON; stop 2; restart 3",
         "on 0@1 sel 3 normal"},
        // The last resort is no switch: one line, one event naming the failed source. The backup comes back
        // from it only once it has flowed for the hold.
        {"lr, choose 3, plays, fail, fail, plays, |, backup fails, backup fails, plays, flow 5, backup "
         "passes, flow 15, "
         "backup passes",
         "LAST RESORT: the backup failed too: stalled; start LR@1; last resort 3 (the backup failed too: "
         "stalled); "
         "stop 2; start 0@2; switch 0 failover",
         "on 0@2 sel 3 failover after 1"},
        {"lr, schedule 0, plays, |, fail, fail",
         "SERVER OR LINK FAILURE - FIRST CHECK; SERVER OR LINK FAILURE; "
         "failover 0 (refused) 1; stop all; LAST RESORT: the backup failed; "
         "start LR@2; last resort 0 (the backup failed)",
         "on -1@2 sel 0 last resort after 1"},
        // A last resort folder without a track to play is none.
        {"lr, lr empty, schedule 0, plays, |, fail, fail",
         "SERVER OR LINK FAILURE - FIRST CHECK; SERVER OR LINK FAILURE; failover 0 (refused) 2",
         "on 0@1 sel 0 failover"},
        // Without a stand-in the failing source plays on, and nothing is switched when it passes again.
        {"schedule 0, plays, |, fail, fail, pass, tick",
         "SERVER OR LINK FAILURE - FIRST CHECK; SERVER OR LINK "
         "FAILURE; failover 0 (refused) 2; SELECTED SOURCE ONLINE; return 0",
         "on 0@1 sel 0 normal"},
        // Leaving the backup starts the source on air afresh on slot 1; in the last resort, the backup.
        {"fast, choose 3, plays, fail, fail, plays, |, leave",
         "stop all; clear; start 0@1; switch 0 operator", "on 0@1 sel 0 normal"},
        {"lr, choose 3, plays, fail, fail, plays, backup fails, backup fails, plays, |, leave",
         "stop all; clear; start 0@1; switch 0 operator", "on 0@1 sel 0 normal"},
        // The chain: a link without a URL is said and skipped, a standby heard failing is passed over, a link
        // that fails hands over to the next, and after the last the last resort plays.
        {"standby, chain 724, choose 3, plays, |, link 2 fails, fail, fail, plays",
         "STANDBY 2 S2 FAILING: stalled; standby 2 failing; SERVER OR LINK FAILURE - FIRST CHECK; SERVER OR "
         "LINK "
         "FAILURE; BACKUP CHAIN: SOURCE 7 HAS NO PLAYABLE URL - SKIPPED; failover 3 (refused) 0; stop all; "
         "start "
         "4@2; switch 4 failover; stop 1",
         "on 4@2 sel 3 failover"},
        {"lr, chain 02, choose 3, plays, fail, fail, plays, backup fails, backup fails, tick, plays, |, "
         "backup "
         "fails, backup fails, plays",
         "LAST RESORT: the backup failed too: stalled; start LR@2; last resort 3 (the backup failed too: "
         "stalled); stop 1",
         "on -1@2 sel 3 last resort"},
        // A reload that stops hearing the standbys holds no link off: nothing would clear it.
        {"standby, chain 02, choose 3, plays, link 0 fails, standby off, |, fail, fail",
         failed + "0; stop all; start 0@2; switch 0 failover", "on 0@2 sel 3 failover after 1"},
        {"lr, standby, chain 02, choose 3, plays, link 0 fails, link 2 fails, |, fail, fail",
         failed +
             "1; stop all; LAST RESORT: every link of the backup chain is failing; start LR@2; last resort "
             "3 (every link of the backup chain is failing)",
         "on -1@2 sel 3 last resort after 1"},
        // A link that failed is held off for the hold, then steps up again (in automatic mode only).
        {"standby, fast, chain 02, choose 3, plays, fail, fail, plays, backup fails, backup fails, tick, "
         "plays, "
         "|, flow 5, link 0 passes, flow 20, link 0 passes, plays",
         "STANDBY 0 S0 HEARD AGAIN; standby 0 heard; start 0@2; switch 0 step up; stop 1",
         "on 0@2 sel 3 failover"},
        {"standby, chain 02, choose 3, plays, fail, fail, plays, backup fails, backup fails, tick, plays, "
         "manual, |, flow 20, link 0 passes",
         "STANDBY 0 S0 HEARD AGAIN; standby 0 heard", "on 2@1 sel 3 failover"},
        // A chain without a link to play is one of source 0, said at a start or a reload once.
        {"chain, |, reload, reload, choose 3, plays, fail, fail, plays",
         "BACKUP CHAIN: NO LINK IS A SOURCE WITH A PLAYABLE URL - SOURCE 0 BACKS UP; start 3@1; "
         "switch 3 operator; " +
             failed + "0; stop all; start 0@2; switch 0 failover; stop 1",
         "on 0@2 sel 3 failover"},
        {"chain 7, choose 3, plays, |, fail, fail",
         "SERVER OR LINK FAILURE - FIRST CHECK; SERVER OR LINK FAILURE; BACKUP CHAIN: NO LINK IS A SOURCE "
         "WITH A PLAYABLE URL - SOURCE 0 BACKS UP; failover 3 (refused) 0; stop all; start 0@2; switch 0 "
         "failover",
         "on 0@2 sel 3 failover after 1"},
        // A start that kept a link or the last resort: the failover goes on, the selected source returns once
        // it has flowed for the hold, a higher link steps up, the chain comes back from the last resort.
        {"chain 02, adopt 2@1 for 3, |, tick, flow 5, pass, tick, flow 20, hear, plays",
         "SELECTED SOURCE ONLINE; start 3@2; switch 3 return; stop 1; return 3", "on 3@2 sel 3 normal"},
        {"standby, chain 02, adopt 2@1 for 3, |, tick, flow 20, link 0 passes, plays",
         "start 0@2; switch 0 step up; stop 1", "on 0@2 sel 3 failover"},
        {"lr, chain 02, adopt L@1 for 3, |, tick, flow 20, backup passes, plays",
         "start 0@2; switch 0 failover; stop 1", "on 0@2 sel 3 failover"},
        {"lr, standby, chain 02, adopt L@1 for 3, |, tick, flow 20, link 2 passes, plays",
         "start 2@2; switch 2 failover; stop 1", "on 2@2 sel 3 failover"},
        {"standby, chain 02, adopt 3@1, |, fail, fail", failed + "0; stop all; start 0@2; switch 0 failover",
         "on 0@2 sel 3 failover after 1"},
        // Without the check nothing would bring the selected source back: the kept link is no stand-in.
        {"lr, check off, adopt L@1 for 3, adopt 2@1 for 3", "", "on -1@0 sel -1 normal"},
        // A refresh: the same source on the other slot, the old player stopped once the new one plays, no
        // switch; in manual mode, without the check and in the last resort too.
        {"choose 3, plays, |, refresh, plays", "start 3@2; " + refreshed + "; refreshed 3@1; stop 1",
         "on 3@2 sel 3 normal"},
        {"manual, choose 3, plays, check off, |, refresh", "start 3@2; " + refreshed + "; refreshed 3@1",
         "on 3@2 sel 3 normal after 1"},
        {"lr, schedule 0, plays, fail, fail, plays, |, refresh, plays",
         "start LR@1; PLAYER mplayer2 REFRESHED AFTER 24.0 H (412 MB); refreshed -1@2; stop 2",
         "on -1@1 sel 0 last resort"},
        // It waits for a quiet moment: not during a failover or its first failed check, a switch under way,
        // the minute before a schedule entry.
        {"fast, choose 3, plays, fail, fail, plays, |, refresh", "", "on 0@2 sel 3 failover"},
        {"choose 3, plays, fail, |, refresh", "", "on 3@1 sel 3 suspect"},
        {"choose 3, plays, choose 4, |, refresh, refresh soon", "", "on 4@2 sel 4 normal after 1"},
        {"choose 3, plays, |, refresh soon", "", "on 3@1 sel 3 normal"},
        // A fresh player that cannot play leaves the old one on air, and counts no failure of the source:
        // a server that takes one listener at a time is not failed over by refreshes.
        {"choose 3, plays, |, refresh, ends, refresh, ends",
         "start 3@2; " + refreshed +
             "; refreshed 3@1; NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 3) - OLD PLAYER PLAYS ON; "
             "stop 2; start 3@2; " +
             refreshed +
             "; refreshed 3@1; NEW PLAYER mplayer2 ENDED BEFORE PLAYING (SOURCE 3) - OLD PLAYER PLAYS ON; "
             "stop 2",
         "on 3@1 sel 3 normal"},
    };
    for (const auto& [words, told, state] : rows) {
        Air air;
        air(words);
        EXPECT_EQ(air.told(), told) << words;
        EXPECT_EQ(air.state(), state) << words;
    }
}

// The station's promises, after every step of long random runs of observations in a world of sources whose
// servers come and go, and which a player can play or never can: no player that plays is stopped before its
// successor plays (but by the stops the policy lists), one player a slot, no return before its cause and its
// hold, and once the world has been still for a minute, something plays whenever the backup or the last
// resort can (the selected source too, once the longest restart hold is over).
TEST(FailoverPolicy, KeepsTheStationsPromisesThroughRandomRuns) {
    std::mt19937 random(20261207);
    for (int run = 0; run < 200; ++run) {
        Air air;
        air.c.fast = random() % 2;
        air.c.lastResortFile = random() % 3 == 0 ? "loop.mp3" : "";
        air.c.chain = std::vector<std::vector<int16_t>>{{0}, {0, 2}, {2, 0}}[random() % 3];
        air.c.standbyCheck = random() % 2;
        std::array<bool, 4> up{true, true, true, true};  // sources 0 to 3: the server answers
        std::array<bool, 4> playable{};                  // and a player can play its stream (or never does)
        for (bool& can : playable) can = random() % 6 != 0;
        std::array<double, 4> upSince{};
        std::array<int, 3> slotPlays{-9, -9, -9};  // by slot: the source its player plays; -9 none
        bool cleared =
            false;  // the failover turned to a return on a pass of a stream that flowed for the hold
        bool online = false;  // "SELECTED SOURCE ONLINE" was said since the last failover
        const auto heard = [&](int n) { return n < 0 || (up[n] && playable[n]); };
        const auto world = [&](const Decision& d, const Observation& o, FailoverState before) {
            const auto* v = std::get_if<Verdict>(&o);
            if (d.next.failover == FailoverState::Failover || d.next.failover == FailoverState::LastResort)
                cleared = false;
            else if (before >= FailoverState::Failover && before != FailoverState::Returning && v)
                cleared = v->kind == Verdict::Kind::Passed && v->flow >= air.c.returnHoldSeconds;
            bool failoverTold = false;
            for (const Command& command : d.commands) {
                const std::string shown = Show(command);
                if (const auto* start = std::get_if<StartPlayer>(&command)) {
                    ASSERT_EQ(slotPlays[start->slot], -9) << "run " << run << ": two players on one slot";
                }
                if (const auto* stop = std::get_if<StopPlayer>(&command)) {
                    const bool listed = std::holds_alternative<StopAll>(o) ||
                                        std::holds_alternative<LeaveBackup>(o) ||
                                        (failoverTold && !air.c.fast);
                    for (int slot = 1; slot <= 2; ++slot) {
                        if (stop->slot != 0 && stop->slot != slot) continue;
                        ASSERT_TRUE(listed || slotPlays[slot] == -9 || slotPlays[3 - slot] != -9)
                            << "run " << run << ": a playing player stopped before its successor played";
                        slotPlays[slot] = -9;
                    }
                }
                if (shown.starts_with("failover")) failoverTold = true, online = false;
                if (shown == "SELECTED SOURCE ONLINE") online = true;
                if (shown.ends_with(" return") && air.c.checking) {
                    ASSERT_TRUE(online && cleared)
                        << "run " << run << ": a return before its cause or its hold";
                }
            }
        };
        const auto step = [&](const Observation& o) {
            const FailoverState before = air.s.failover;
            world(air.observe(o), o, before);
        };
        // The new player plays once its stream can be played; a player whose stream is gone ends.
        const auto look = [&] {
            for (int slot = 1; slot <= 2; ++slot)
                if (!heard(slotPlays[slot])) slotPlays[slot] = -9;
            if (!air.s.successor) return;
            const int n = air.s.onAir.lastResort ? -1 : air.s.onAir.source.number;
            air.c.now += kOverlapSeconds;
            const int old = air.s.successor->previous.slot;
            if (heard(n)) slotPlays[air.s.onAir.slot] = n;
            step(SuccessorSeen{heard(n), heard(n), old != 0 && slotPlays[old] != -9, "gone",
                               n >= 0 && !up[n]});
        };
        const auto verdict = [&] {
            const AirSource tested =
                air.s.failover >= FailoverState::Failover ? air.s.selected : air.s.onAir.source;
            if (tested.number < 0) return;
            const bool ok = up[tested.number];
            step(Verdict{tested, ok ? Verdict::Kind::Passed : Verdict::Kind::Failed, "down", false,
                         Flow(ok ? air.c.now - upSince[tested.number] : 0)});
        };
        const auto settle = [&] {
            double deadSince = air.c.now;
            for (int second = 0; second < 1500; ++second) {
                air.c.now += 1;
                step(Tick{"1"});
                look();
                if (second % 15 == 0) verdict();
                const bool plays = slotPlays[1] != -9 || slotPlays[2] != -9;
                if (!plays && !air.s.successor) step(PlayerGone{true});
                const int b = air.s.backup.number;
                if (air.s.failover >= FailoverState::Failover && !air.s.backup.url.empty())
                    step(BackupHeard{heard(b), "down", Flow(heard(b) ? air.c.now - upSince[b] : 0)});
                for (const int16_t n : air.c.chain)
                    if (air.c.standbyCheck && second % 5 == 0 &&
                        (air.s.onAir.source.number != n || air.s.onAir.lastResort))
                        step(StandbyHeard{*Playable(std::to_string(n)), heard(n), "down",
                                          Flow(heard(n) ? air.c.now - upSince[n] : 0)});
                if (plays || !air.c.automatic || !air.c.checking ||
                    (std::ranges::none_of(air.c.chain,
                                          [&](int n) { return n != air.s.selected.number && heard(n); }) &&
                     air.c.lastResortFile.empty()))
                    deadSince = air.c.now;
                ASSERT_LT(air.c.now - deadSince, 40) << "run " << run << ": dead air, " << air.state();
            }
            const bool selectedHeard = air.s.selected.number >= 0 && heard(air.s.selected.number);
            if (air.c.automatic && selectedHeard) {
                ASSERT_TRUE(slotPlays[1] != -9 || slotPlays[2] != -9) << "run " << run << ": " << air.state();
            }
            if (air.c.automatic && air.c.checking && selectedHeard) {
                ASSERT_EQ(air.s.onAir.source, air.s.selected) << "run " << run << ": " << air.state();
            }
        };
        step(Choice{"1", SwitchCause::Schedule});
        for (int i = 0; i < 120; ++i) {
            air.c.now += std::uniform_real_distribution<double>(0.5, 20)(random);
            const size_t n = random() % 4;
            switch (random() % 12) {
                case 0:
                    up[n] = !up[n];
                    upSince[n] = air.c.now;
                    break;
                case 1:
                    step(Choice{std::to_string(n), random() % 2 ? SwitchCause::Api : SwitchCause::Schedule});
                    break;
                case 2:
                    step(Tick{"1"});
                    break;
                case 3:
                    verdict();
                    break;
                case 4:
                case 5:
                    look();
                    break;
                case 6:
                    if (slotPlays[1] == -9 && slotPlays[2] == -9 && !air.s.successor) step(PlayerGone{true});
                    break;
                case 7:
                    if (air.s.failover >= FailoverState::Failover)
                        step(BackupHeard{heard(air.s.backup.number), "down", Flow(0)});
                    break;
                case 8:
                    if (random() % 4 == 0) air.c.automatic = !air.c.automatic;
                    break;
                case 9:
                    if (random() % 4 == 0) air.c.checking = !air.c.checking, step(Reload{"1"});
                    break;
                case 10:
                    if (random() % 8 == 0) step(RestartOnAir{});
                    break;
                case 11:
                    step(Refresh{RefreshReason::Age, 24, 400, random() % 4 == 0});
                    break;
            }
            if (i % 30 == 29) settle();
        }
    }
}

}  // namespace
}  // namespace bf::air
