#include "console/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <chrono>
#include <memory>
#include <set>
#include <thread>

#include "core/startup.h"
#include "platform/posix_processes.h"
#include "platform/qt_timers.h"
#include "platform/real_clock.h"
#include "test_station.h"

namespace bf::test {
namespace {

// Smoke checks of the real window on Qt's offscreen platform.
class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) app() = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { app().reset(); }
    void SetUp() override {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
            GTEST_SKIP() << "another suite holds a non-GUI application object";
    }

    static std::unique_ptr<QApplication>& app() {
        static std::unique_ptr<QApplication> instance;
        return instance;
    }
    static inline int argc = 3;
    static inline char arg0[] = "unit_tests", arg1[] = "-platform", arg2[] = "offscreen";
    static inline char* argv[] = {arg0, arg1, arg2, nullptr};

    static void pumpEvents(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

TEST_F(MainWindowTest, RunsTheStartedStationOnRealTimersAndForwardsTheModeButton) {
    TempFolder folder;
    RealClock clock;
    QtTimers timers;
    FakeProcesses processes;  // no player anywhere is killed or started
    FakeHttpClient InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather;
    Station station(
        Platform{clock, processes, timers, InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather},
        folder.path());
    int quits = 0;
    station.quit = [&] { ++quits; };

    MainWindow window(station);
    window.show();
    Startup(station);
    pumpEvents(std::chrono::milliseconds(1500));
    window.refresh();

    EXPECT_EQ(window.windowTitle(), "Brackenfield");
    EXPECT_EQ(window.size(), QSize(1041, 755));
    const QSize needed = window.centralWidget()->minimumSizeHint();
    EXPECT_LE(needed.width(), 1041);
    EXPECT_LE(needed.height(), 755);

    const ConsoleModel& c = station.console;
    EXPECT_FALSE(window.labelWidget("lblStatus")->text().isEmpty());
    EXPECT_EQ(window.labelWidget("lblStatus")->text(), QString::fromStdString(c.lblStatus.caption));
    EXPECT_EQ(window.labelWidget("lblFailText")->text(), "DISABLED");
    EXPECT_NE(c.lblDate.caption, "2000-01-01");  // the clock tick ran
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$")
                    .match(window.labelWidget("lblClock")->text())
                    .hasMatch());
    EXPECT_EQ(window.labelWidget("lblClock")->text(), QString::fromStdString(c.lblClock.caption));
    EXPECT_EQ(window.labelWidget("lblDate")->text(), QString::fromStdString(c.lblDate.caption));
    EXPECT_TRUE(window.stationLog()->toPlainText().contains("  SYS - SYSTEM STARTUP"));
    EXPECT_FALSE(window.stationLog()->toPlainText().contains('\r'));

    ASSERT_TRUE(timers.running("tmrCheckAndDoEvents"));
    window.buttonWidget("cmdAutoManual")->click();
    EXPECT_EQ(c.cmdAutoManual.caption, "MANUAL");
    EXPECT_FALSE(timers.running("tmrCheckAndDoEvents"));
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

    std::set<std::string> texts;
    for (QLabel* label : window.findChildren<QLabel*>()) texts.insert(label->text().toStdString());
    for (const char* caption : {"Stream Name:",
                                "Stream Genre:",
                                "Stream Website:",
                                "Stream Public:",
                                "Stream Bitrate:",
                                "Stream Codec:",
                                "Current Source Number:",
                                "Current Source Address:",
                                "Stream Metadata:",
                                "Mplayer Instance:",
                                "Configured Local Switches",
                                "Metadata Output:",
                                "AIR Updated:",
                                "Current AIR Aritst:",
                                "Current AIR Title:",
                                "AIR API:",
                                "Network API:",
                                "Management Server:",
                                "Tallyway System Status",
                                "Tallyway Check:",
                                "Customer:",
                                "Stamp:",
                                "Title:",
                                "Response:",
                                "Sent Time:",
                                "System Start",
                                "System Uptime"})
        EXPECT_EQ(texts.count(caption), 1u) << caption;
}

TEST_F(MainWindowTest, ShowsModelChangesAndHonoursDisabledButtons) {
    TestStation t;
    MainWindow window(*t);
    window.show();
    ConsoleModel& c = t.console();

    c.lblRXmetadata.caption = "Caf\xe9 del Mar";  // Latin-1, not UTF-8
    c.lblFail.backColour = Colour::Green;
    c.lblSilence.visible = false;
    c.cmdForceSwitch.enabled = false;
    c.comboSourceList.items = {"0 Select Source number 0", "1 Select Source number 1"};
    window.refresh();
    EXPECT_EQ(window.labelWidget("lblRXmetadata")->text(), QString::fromUtf8("Caf\u00e9 del Mar"));
    EXPECT_EQ(window.labelWidget("lblFail")->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_TRUE(window.labelWidget("lblFail")->autoFillBackground());
    EXPECT_FALSE(window.labelWidget("lblSilence")->isVisible());
    EXPECT_FALSE(window.buttonWidget("cmdForceSwitch")->isEnabled());

    // The drop-down shows its text until an entry is picked.
    QComboBox* list = window.sourceList();
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(list->placeholderText(), "Select Source for Forced Manual Switch");
    emit list->activated(1);
    EXPECT_EQ(c.comboSourceList.text, "1 Select Source number 1");
    EXPECT_EQ(list->currentText(), "1 Select Source number 1");

    c.lblFail.backColour.reset();
    c.window.sizableBorder = false;
    c.window.maximized = true;
    window.refresh();
    EXPECT_FALSE(window.labelWidget("lblFail")->autoFillBackground());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowState().testFlag(Qt::WindowMaximized));

    c.window.sizableBorder = true;
    c.window.maximized = false;
    window.refresh();
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_FALSE(window.windowState().testFlag(Qt::WindowMaximized));
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
    FakeHttpClient InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather;
    Station station(Platform{clock, processes, timers, InetTestURL, Inet1, InetAIR, InetTallyway, InetWeather},
                    folder.path());
    const std::string marker = (folder.path() / "command ran.txt").string();
    folder.write("sourcelist.ini", "1u:http://one.example/live\r\n2n:Two\r\n2u:http://two.example/live\r\n"
                                   "2s:echo switched > '" + marker + "'\r\n");
    MainWindow window(station);
    window.show();
    Startup(station);
    window.refresh();

    window.sourceList()->setCurrentIndex(2);  // the operator picks "2 Select Source number 2"
    emit window.sourceList()->activated(2);
    EXPECT_EQ(station.console.comboSourceList.text, "2 Select Source number 2");
    window.buttonWidget("cmdForceSwitch")->click();

    EXPECT_EQ(station.state.CurrentSource, 2);
    ASSERT_FALSE(processes.starts.empty());
    EXPECT_EQ(processes.starts.back().args.front(), "http://two.example/live");
    EXPECT_NE(station.console.txtAIR.find("  RUNNING EXTERNAL COMMAND (echo switched > '" + marker + "')\r\n"),
              std::string::npos);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (folder.read("command ran.txt") == "<missing>" && std::chrono::steady_clock::now() < deadline)
        pumpEvents(std::chrono::milliseconds(20));
    EXPECT_EQ(folder.read("command ran.txt"), "switched\n");
    EXPECT_TRUE(station.console.cmdForceSwitch.enabled);
}

struct DecodeCase {
    const char* bytes;
    const char* shownAsUtf8;
};

class DecodeForDisplayTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeForDisplayTest, ShowsUtf8AndFallsBackToLatin1) {
    EXPECT_EQ(DecodeForDisplay(GetParam().bytes).toUtf8().toStdString(), GetParam().shownAsUtf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, DecodeForDisplayTest,
                         ::testing::Values(DecodeCase{"ON AIR", "ON AIR"},
                                           DecodeCase{"Caf\xc3\xa9", "Caf\xc3\xa9"},  // valid UTF-8
                                           DecodeCase{"Caf\xe9", "Caf\xc3\xa9"},      // Latin-1 byte
                                           DecodeCase{"Mot\xc3", "Mot\xc3\x83"},      // cut UTF-8 sequence
                                           DecodeCase{"\xa3 5", "\xc2\xa3 5"}));      // lone high byte

}  // namespace
}  // namespace bf::test
