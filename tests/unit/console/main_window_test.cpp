#include "console/main_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <set>

#include "app/startup.h"
#include "platform/posix_processes.h"
#include "platform/qt_timers.h"
#include "platform/real_clock.h"
#include "qt_test_app.h"
#include "test_station.h"

namespace bf::test {
namespace {

using namespace std::chrono_literals;
using MainWindowTest = QtAppTest;

TEST_F(MainWindowTest, RunsTheStartedStationOnRealTimersAndForwardsTheModeButton) {
    TempFolder folder;
    RealClock clock;
    QtTimers timers;
    FakeProcesses processes;  // no player anywhere is killed or started
    FakeHttpClient http[5];
    Station station(Platform{clock, processes, timers, http[0], http[1], http[2], http[3], http[4]},
                    folder.path());
    int quits = 0;
    station.quit = [&] { ++quits; };
    MainWindow window(station);
    window.show();
    Startup(station);
    processEventsFor(1500ms);
    window.refresh();

    EXPECT_EQ(window.windowTitle(), "Brackenfield");
    EXPECT_EQ(window.size(), QSize(1041, 755));
    EXPECT_LE(window.centralWidget()->minimumSizeHint().width(), 1041);
    EXPECT_LE(window.centralWidget()->minimumSizeHint().height(), 755);
    const ConsoleModel& c = station.console;
    EXPECT_NE(c.lblDate.caption, "2000-01-01");  // the clock tick ran
    for (const auto& [name, label] :
         {std::pair{"lblStatus", &c.lblStatus}, {"lblClock", &c.lblClock}, {"lblDate", &c.lblDate}})
        EXPECT_EQ(window.labelWidget(name)->text().toStdString(), label->caption) << name;
    EXPECT_TRUE(window.stationLog()->toPlainText().contains("  SYS - SYSTEM STARTUP"));
    EXPECT_FALSE(window.stationLog()->toPlainText().contains('\r'));

    ASSERT_TRUE(timers.running(TimerName::CheckAndDoEvents));
    window.buttonWidget("cmdAutoManual")->click();
    EXPECT_EQ(c.cmdAutoManual.caption, "MANUAL");
    EXPECT_FALSE(timers.running(TimerName::CheckAndDoEvents));
    EXPECT_EQ(window.buttonWidget("cmdAutoManual")->text(), "MANUAL");
    EXPECT_EQ(window.buttonWidget("cmdAutoManual")->palette().color(QPalette::Button), QColor(255, 0, 0));

    const size_t killsBefore = processes.kills.size();
    window.close();
    EXPECT_EQ(quits, 1);                             // closing the window ends the program...
    EXPECT_EQ(processes.kills.size(), killsBefore);  // ...and leaves the players on air
}

TEST_F(MainWindowTest, DrawsEveryDocumentedControlAndTheFieldCaptionsVerbatim) {
    TestStation t;
    MainWindow window(*t);
    for (const auto& named : ConsoleModel::labels()) {
        QLabel* label = window.findChild<QLabel*>(named.name);
        ASSERT_NE(label, nullptr) << named.name;
        EXPECT_EQ(label->text().toStdString(), (t.console().*named.member).caption) << named.name;
    }
    for (const auto& named : ConsoleModel::buttons())
        EXPECT_NE(window.findChild<QPushButton*>(named.name), nullptr) << named.name;
    EXPECT_NE(window.findChild<QComboBox*>("comboSourceList"), nullptr);
    EXPECT_NE(window.findChild<QPlainTextEdit*>("txtAIR"), nullptr);

    std::multiset<std::string> texts;
    for (QLabel* label : window.findChildren<QLabel*>()) texts.insert(label->text().toStdString());
    // clang-format off
    const char* const captions[] = {
        "Stream Name:", "Stream Genre:", "Stream Website:", "Stream Public:", "Stream Bitrate:", "Stream Codec:",
        "Current Source Number:", "Current Source Address:", "Stream Metadata:", "Mplayer Instance:",
        "Configured Local Switches", "Metadata Output:", "AIR Updated:", "Current AIR Aritst:",
        "Current AIR Title:", "AIR API:", "Network API:", "Management Server:", "Tallyway System Status",
        "Tallyway Check:", "Customer:", "Stamp:", "Title:", "Response:", "Sent Time:", "System Start",
        "System Uptime"};
    // clang-format on
    for (const char* caption : captions) EXPECT_EQ(texts.count(caption), 1u) << caption;
}

TEST_F(MainWindowTest, ShowsModelChangesIncludingLatin1TextDisabledButtonsAndFullScreen) {
    TestStation t;
    MainWindow window(*t);
    window.show();
    ConsoleModel& c = t.console();
    c.lblRXmetadata.caption = "Caf\xe9 del Mar";  // Latin-1, not UTF-8
    c.lblFail.backColour = Colour::Green;
    c.cmdForceSwitch.enabled = false;
    c.lblSilence.visible = false;
    c.window.sizableBorder = false;
    c.window.maximized = true;
    window.refresh();
    EXPECT_EQ(window.labelWidget("lblRXmetadata")->text(), QString::fromUtf8("Caf\u00e9 del Mar"));
    EXPECT_EQ(window.labelWidget("lblFail")->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_FALSE(window.buttonWidget("cmdForceSwitch")->isEnabled());
    EXPECT_FALSE(window.labelWidget("lblSilence")->isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(window.sourceList()->placeholderText(), "Select Source for Forced Manual Switch");
    c.window.sizableBorder = true;
    c.window.maximized = false;
    window.refresh();
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window.size(), QSize(1041, 755));
}

// Players are only recorded; the source's command runs for real through the
// shell, as the operator's button runs it on the air.
struct RealCommandProcesses : FakeProcesses {
    void runShellCommand(const std::string& command) override {
        FakeProcesses::runShellCommand(command);
        real.runShellCommand(command);
    }
    PosixProcesses real;
};

TEST_F(MainWindowTest, ForceSwitchButtonSwitchesToTheChosenSourceAndRunsItsCommand) {
    TempFolder folder;
    FakeClock clock;
    FakeTimers timers;
    RealCommandProcesses processes;
    FakeHttpClient http[5];
    Station station(Platform{clock, processes, timers, http[0], http[1], http[2], http[3], http[4]},
                    folder.path());
    const std::string marker = (folder.path() / "command ran.txt").string();
    folder.write("sourcelist.ini",
                 "1u:http://one.example/live\r\n2n:Two\r\n2u:http://two.example/live\r\n"
                 "2s:echo switched > '" +
                     marker + "'\r\n");
    MainWindow window(station);
    window.show();
    Startup(station);
    window.refresh();

    window.sourceList()->setCurrentIndex(2);  // the operator picks "2 Select Source number 2"
    emit window.sourceList()->activated(2);
    EXPECT_EQ(station.console.comboSourceList.text, "2 Select Source number 2");
    window.buttonWidget("cmdForceSwitch")->click();

    EXPECT_EQ(station.state.CurrentSource, 2);
    EXPECT_EQ(processes.starts.back().args.front(), "http://two.example/live");
    EXPECT_TRUE(processEventsUntil([&] { return folder.read("command ran.txt") == "switched\n"; }, 10s));
    EXPECT_TRUE(station.console.cmdForceSwitch.enabled);
}

TEST(DecodeForDisplay, ShowsUtf8AndFallsBackToLatin1) {
    const std::pair<const char*, const char*> cases[] = {
        {"ON AIR", "ON AIR"},
        {"Caf\xc3\xa9", "Caf\xc3\xa9"},  // valid UTF-8
        {"Caf\xe9", "Caf\xc3\xa9"},
        {"Mot\xc3", "Mot\xc3\x83"},  // Latin-1 byte, cut UTF-8 sequence
        {"\xa3 5", "\xc2\xa3 5"}};   // lone high byte
    for (const auto& [bytes, shown] : cases) EXPECT_EQ(DecodeForDisplay(bytes).toUtf8().toStdString(), shown);
}

}  // namespace
}  // namespace bf::test
