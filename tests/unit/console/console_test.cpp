#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <set>
#include <stdexcept>

#include "app/startup.h"
#include "console/console_buttons.h"
#include "console/console_dump.h"
#include "console/display_text.h"
#include "console/display_timers.h"
#include "console/main_window.h"
#include "core/station_log.h"
#include "core/text_file.h"
#include "qt_test_app.h"
#include "test_station.h"

namespace bf::test {
namespace {

TEST(ConsoleButtons, ModeStopsAndRestartsTheEventTickAndFullScreenDropsTheBorderOnlyWithHideTaskbar) {
    TestStation t;
    t.timers.start(TimerName::CheckAndDoEvents);
    for (const auto& [caption, colour, running] :
         {std::tuple{"MANUAL", Colour::Red, false}, {"AUTOMATIC", Colour::Green, true}}) {
        cmdAutoManual_Click(*t);
        EXPECT_EQ(t.console().cmdAutoManual, Button(caption, colour));
        EXPECT_EQ(t.timers.running(TimerName::CheckAndDoEvents), running);
    }
    const char* items = "cmdFullScreen window.maximized window.sizableBorder";
    for (const int16_t hide : {0, 1}) {
        t.state().HideTaskbar = hide;
        cmdFullScreen_Click(*t);
        EXPECT_EQ(Items(*t, items),
                  "cmdFullScreen=NORMAL window.maximized=1 window.sizableBorder=" + std::to_string(1 - hide));
        cmdFullScreen_Click(*t);
        EXPECT_EQ(Items(*t, items), "cmdFullScreen=FULL SCREEN window.maximized=0 window.sizableBorder=1");
    }
}

// That closing the window (Form_Unload) stops no player: the window test below.
TEST(ConsoleButtons, AMissingEditorIsLoggedAndTerminateStopsBothPlayersBeforeTheEnd) {
    TestStation t;
    t.processes.failOpen = true;
    cmdViewSource_Click(*t);
    EXPECT_EQ(t.processes.opened, std::vector<std::string>{(t.folder.path() / "sourcelist.ini").string()});
    EXPECT_EQ(t.console().txtAIR, " 2026-12-06 12:00:00  SYS - CANNOT OPEN EDITOR FOR sourcelist.ini\r\n");
    t.processes.onCall = [&](const std::string&) { EXPECT_EQ(t.quits, 0) << "killed after the end"; };
    cmdTerminate_Click(*t);
    EXPECT_EQ(t.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    EXPECT_EQ(t.quits, 1);
}

TEST(DumpConsole, ListsEachItemOnceOnItsOwnLineWithItsEscapedValue) {
    TestStation t;
    AddToAirLog(*t, "  SYS - SYSTEM STARTUP");
    t.console().lblDebug.caption = "C:\\path\tx\xe9";
    t.console().window.sizableBorder = false;
    t.state().CurrentSource = -1;
    t->api.rows = {"Slot 0 free", "Slot 1 busy"};
    t->api.created = true;
    const std::string dump = DumpConsole(*t);
    std::set<std::string> names;
    for (const std::string& line : SplitLines(dump)) names.insert(line.substr(0, line.find('\t')));
    EXPECT_EQ(names.size(), CountOf(dump, "\n")) << "a name twice";
    EXPECT_EQ(
        Items(*t, "txtAIR lblDebug cmdTerminate window.sizableBorder CurrentSource api.row.1 api.created"),
        "txtAIR= 2026-12-06 12:00:00  SYS - SYSTEM STARTUP\\r\\n lblDebug=C:\\\\path\\tx\xe9 "
        "cmdTerminate=             EXIT AND STOP            (DEAD AIR) window.sizableBorder=0 "
        "CurrentSource=-1 api.row.1=Slot 1 busy api.created=1");
}

TEST(DecodeForDisplay, ShowsUtf8FallsBackToLatin1AndLeavesOffACharacterCutAtTheEnd) {
    const std::pair<const char*, const char*> cases[] = {
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},  // valid UTF-8
        {"Caf\xe9", "Caf\xc3\xa9"},      // Latin-1, though \xe9 could begin a UTF-8 character
        {"\xa3 5", "\xc2\xa3 5"},        // lone high byte
        {"Caf\xe9 cr\xe8me br\xfbl\xe9", "Caf\xc3\xa9 cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"},
        {"Caf\xc3\xa9 \xc3", "Caf\xc3\xa9 "},  // cut UTF-8 after a whole character
        {"Tea \xe2\x80", "Tea "},              // two bytes of three
        {"\xf0\x9f\x8e\xb5 \xf0\x9f\x8e", "\xf0\x9f\x8e\xb5 "}};
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(DecodeForDisplay(bytes).toUtf8().toStdString(), shown) << bytes;
}

TEST(DisplayTimers, CountersClockAndOnAirIndicatorFollowTheirTicks) {
    TestStation t;
    Startup(*t);
    EXPECT_EQ(FormatUptime(93784), "1 days 2 hrs 03 mins 04 secs");
    for (int i = 0; i < 121; ++i) t.timers.fire(TimerName::UptimeDisplayUpdate);
    EXPECT_EQ(Items(*t, "lblUptime lblBooted"),
              "lblUptime=0 days 0 hrs 02 mins 01 secs lblBooted=2026-12-06 12:00:00");
    t.state().SystemRuntime = INT32_MAX;
    t.timers.fire(TimerName::UptimeDisplayUpdate);
    EXPECT_EQ(t.state().SystemRuntime, INT32_MAX) << "never wraps";
    for (int i = 0; i < 120; ++i) t.timers.fire(TimerName::Counter);
    EXPECT_EQ(t.state().TimerCount, 120);
    t.timers.fire(TimerName::Counter);
    EXPECT_EQ(t.state().TimerCount, 0) << "0..120, then from 0 again";
    for (const int16_t slot : {2, 0}) {
        t.state().CurrentMplayer = slot;
        t.timers.fire(TimerName::UpdateDisplay);
        EXPECT_EQ(Items(*t, "lblStatus lblMplayer"),
                  slot ? "lblStatus=ON AIR lblMplayer=2" : "lblStatus=NO SOURCE lblMplayer=None");
        const uint32_t colour = slot ? Colour::Green : Colour::Red;
        EXPECT_EQ(std::pair(t.console().lblStatus.backColour, t.console().lblStatus2.backColour),
                  std::pair(std::optional(colour), std::optional(colour)));
    }
    t.clock.set(2027, 3, 4, 5, 6, 7, 8);
    t.timers.fire(TimerName::ClockandEventCheck);
    EXPECT_EQ(Items(*t, "lblClock lblDate"), "lblClock=06:07:08 lblDate=2027-03-04");
}

using MainWindowTest = QtAppTest;

TEST_F(MainWindowTest, DrawsEveryLabelInTheFixedSizeWindowAndEachChangeOfTheModel) {
    TestStation t;
    MainWindow window(*t);
    window.show();
    EXPECT_EQ(window.size(), QSize(1041, 755));
    const QSize needed = window.centralWidget()->minimumSizeHint();
    EXPECT_EQ(needed.boundedTo(QSize(1041, 755)), needed) << "the controls do not fit";
    for (const auto& named : ConsoleModel::labels())
        EXPECT_TRUE(window.label(named.member) != nullptr) << named.name << " is not drawn";

    ConsoleModel& c = t.console();
    c.lblRXmetadata.caption = "Caf\xe9 del Mar";
    c.lblFail.backColour = Colour::Green;
    c.lblSilence.visible = false;
    c.cmdForceSwitch.enabled = false;
    c.comboSourceList.items = {"1 Select Source number 1", "2 Select Source number 2"};
    c.txtAIR = " 12:00:01 second\r\n 12:00:00 first\r\n";
    c.window = {.sizableBorder = false, .maximized = true};  // full screen, taskbar hidden
    window.refresh();
    EXPECT_EQ(window.stationLog()->toPlainText(), " 12:00:01 second\n 12:00:00 first");
    EXPECT_EQ(window.label(&ConsoleModel::lblRXmetadata)->text(), QString::fromUtf8("Caf\u00e9 del Mar"));
    EXPECT_EQ(window.label(&ConsoleModel::lblFail)->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_FALSE(window.label(&ConsoleModel::lblSilence)->isVisible());
    EXPECT_FALSE(window.button(&ConsoleModel::cmdForceSwitch)->isEnabled());
    EXPECT_EQ(window.windowState(), Qt::WindowFullScreen);
    emit window.sourceList()->activated(1);  // the operator picks an entry
    EXPECT_EQ(c.comboSourceList.text, "2 Select Source number 2");
    c.window = {};
    window.refresh();
    EXPECT_EQ(window.windowState(), Qt::WindowNoState);
    EXPECT_EQ(window.size(), QSize(1041, 755));
}

TEST_F(MainWindowTest, ClicksReachTheirHandlersThroughTheFailureBoundary) {
    TestStation t;
    MainWindow window(*t);
    window.button(&ConsoleModel::cmdViewEvents)->click();
    t.console().cmdViewSource.enabled = false;  // disabled by a handler, not yet drawn
    window.button(&ConsoleModel::cmdViewSource)->click();
    EXPECT_EQ(t.processes.opened, std::vector<std::string>{(t.folder.path() / "sourceevents.ini").string()});

    t.processes.onCall = [](const std::string&) { throw std::runtime_error("no process table"); };
    window.button(&ConsoleModel::cmdTerminate)->click();
    EXPECT_EQ(t.quits, 0);
    EXPECT_NE(t.console().txtAIR.find("  SYS - cmdTerminate_Click FAILED: no process table"),
              std::string::npos);
    window.close();
    EXPECT_EQ(t.quits, 1) << "closing the window ends the program and stops no player";
}

}  // namespace
}  // namespace bf::test
