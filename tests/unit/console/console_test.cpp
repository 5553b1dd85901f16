#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <stdexcept>

#include "console/console_buttons.h"
#include "console/console_dump.h"
#include "console/display_text.h"
#include "console/display_timers.h"
#include "console/main_window.h"
#include "qt_test_app.h"
#include "test_station.h"
#include "views/uptime_text.h"

namespace bf::test {
namespace {

TEST(ConsoleButtons, ModeStopsAndRestartsTheEventTickAndFullScreenDropsTheBorderWithHideTaskbar) {
    TestStation t;
    t.timers.start(TimerName::CheckAndDoEvents);
    for (const auto& [caption, colour, running] :
         {std::tuple{"MANUAL", Colour::Red, false}, {"AUTOMATIC", Colour::Green, true}}) {
        cmdAutoManual_Click(*t);
        EXPECT_EQ(t.console().cmdAutoManual, Button(caption, colour));
        EXPECT_EQ(t.timers.running(TimerName::CheckAndDoEvents), running);
    }
    t.settings().HideTaskbar = 1;
    const char* items = "cmdFullScreen window.maximized window.sizableBorder";
    cmdFullScreen_Click(*t);
    EXPECT_EQ(Items(*t, items), "cmdFullScreen=NORMAL window.maximized=1 window.sizableBorder=0");
    cmdFullScreen_Click(*t);
    EXPECT_EQ(Items(*t, items), "cmdFullScreen=FULL SCREEN window.maximized=0 window.sizableBorder=1");
}

TEST(DumpConsole, WritesEachItemOnItsOwnLineWithItsValueEscaped) {
    TestStation t;
    t.console().lblDebug.caption = "C:\\path\tx\xe9\r\n";
    EXPECT_NE(DumpConsole(*t).find("\nlblDebug\tC:\\\\path\\tx\xe9\\r\\n\n"), std::string::npos);
}

TEST(DecodeForDisplay, ShowsUtf8FallsBackToLatin1AndLeavesOffACharacterCutAtTheEnd) {
    const std::pair<const char*, const char*> cases[] = {
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},  // valid UTF-8
        {"Caf\xe9", "Caf\xc3\xa9"},      // Latin-1, though \xe9 could begin a UTF-8 character
        {"Caf\xe9 cr\xe8me br\xfbl\xe9", "Caf\xc3\xa9 cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"},  // not cut either
        {"Caf\xc3\xa9 \xc3", "Caf\xc3\xa9 "},  // cut UTF-8 after a whole character
        {"\xf0\x9f\x8e\xb5 \xf0\x9f\x8e", "\xf0\x9f\x8e\xb5 "}};
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(DecodeForDisplay(bytes).toUtf8().toStdString(), shown) << bytes;
}

TEST(DisplayTimers, UptimeSecondsCounterAndTheOnAirIndicator) {
    EXPECT_EQ(FormatUptime(93784), "1 days 2 hrs 03 mins 04 secs");
    TestStation t;
    for (int i = 0; i < 122; ++i) t.timers.fire(TimerName::Counter);
    EXPECT_EQ(t.state().TimerCount, 1) << "0 to 120, then 0 again";
    t.folder.write("sourcelist.ini", "1u:http://one.example/a\r\n");
    for (const int16_t slot : {0, 2}) {
        if (slot) t.onAir(1, slot);
        EXPECT_EQ(Items(*t, "lblStatus lblMplayer"),
                  slot ? "lblStatus=ON AIR lblMplayer=2" : "lblStatus=NO SOURCE lblMplayer=None");
        EXPECT_EQ(t.console().lblStatus2.backColour, slot ? Colour::Green : Colour::Red);
    }
}

using MainWindowTest = QtAppTest;

TEST_F(MainWindowTest, DrawsEveryLabelAndTheModelsTextsAndPassesClicksThroughTheFailureBoundary) {
    TestStation t;
    MainWindow window(*t);
    window.show();
    EXPECT_EQ(window.size(), QSize(1041, 755));
    for (const auto& named : ConsoleModel::labels())
        EXPECT_TRUE(window.label(named.member) != nullptr) << named.name << " is not drawn";

    ConsoleModel& c = t.console();
    c.lblRXmetadata.caption = "Caf\xe9 del Mar";
    c.comboSourceList.items = {"1 Select Source number 1", "2 Select Source number 2"};
    t->log.add(" 12:00:00 first\r\n");
    t->log.add(" 12:00:01 second\r\n");
    window.refresh();
    EXPECT_EQ(window.stationLog()->toPlainText(), " 12:00:01 second\n 12:00:00 first");
    // The backup chain's row, as the view draws it from the owners.
    t.folder.write("sourcelist.ini", "0n:Zero\r\n0u:http://zero.example/z\r\n");
    window.refresh();
    EXPECT_EQ(window.label(&ConsoleModel::lblChain)->text(), "0 Zero (unheard)");
    EXPECT_EQ(window.label(&ConsoleModel::lblRXmetadata)->text(), QString::fromUtf8("Caf\u00e9 del Mar"));
    emit window.sourceList()->activated(1);  // the operator picks an entry
    EXPECT_EQ(c.comboSourceList.text, "2 Select Source number 2");

    // Clicks reach their handlers through the failure boundary; terminate stops the players first.
    window.button(&ConsoleModel::cmdViewEvents)->click();
    c.cmdViewSource.enabled = false;  // disabled by a handler, not yet drawn
    window.button(&ConsoleModel::cmdViewSource)->click();
    EXPECT_EQ(t.processes.opened, std::vector<std::string>{(t.folder.path() / "sourceevents.ini").string()});

    t.processes.onCall = [&](const std::string&) { EXPECT_EQ(t.quits, 0) << "killed after the end"; };
    window.button(&ConsoleModel::cmdTerminate)->click();
    EXPECT_EQ(t.processes.kills, (std::vector<std::string>{"mplayer1", "mplayer2"}));
    t.processes.onCall = [](const std::string&) { throw std::runtime_error("no process table"); };
    window.button(&ConsoleModel::cmdTerminate)->click();
    EXPECT_EQ(t.logged.back(), "2026-12-06 12:00:00  SYS - cmdTerminate_Click FAILED: no process table");
    window.close();
    EXPECT_EQ(t.quits, 2) << "terminate ends the program; so does closing the window, which stops no player";
}

}  // namespace
}  // namespace bf::test
