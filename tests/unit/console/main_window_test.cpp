#include "console/main_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <stdexcept>

#include "qt_test_app.h"
#include "test_station.h"

namespace bf::test {
namespace {

using MainWindowTest = QtAppTest;

TEST_F(MainWindowTest, DrawsEveryLabelInTheFixedSizeWindowAndEachChangeOfTheModel) {
    TestStation t;
    MainWindow window(*t);
    window.show();
    EXPECT_EQ(window.size(), QSize(1041, 755));
    EXPECT_LE(window.centralWidget()->minimumSizeHint().width(), 1041);
    EXPECT_LE(window.centralWidget()->minimumSizeHint().height(), 755);
    for (const auto& named : ConsoleModel::labels()) {
        const QLabel* label = window.label(named.member);
        ASSERT_NE(label, nullptr) << named.name;
        EXPECT_EQ(label->text().toStdString(), (t.console().*named.member).caption) << named.name;
    }

    ConsoleModel& c = t.console();
    c.lblRXmetadata.caption = "Caf\xe9 del Mar";
    c.lblFail.backColour = Colour::Green;
    c.lblSilence.visible = false;
    c.cmdForceSwitch.enabled = false;
    c.comboSourceList.items = {"1 Select Source number 1", "2 Select Source number 2"};
    c.txtAIR = " 12:00:01 second\r\n 12:00:00 first\r\n";
    window.refresh();
    EXPECT_EQ(window.stationLog()->toPlainText(), " 12:00:01 second\n 12:00:00 first");
    EXPECT_EQ(window.label(&ConsoleModel::lblRXmetadata)->text(), QString::fromUtf8("Caf\u00e9 del Mar"));
    EXPECT_EQ(window.label(&ConsoleModel::lblFail)->palette().color(QPalette::Window), QColor(0, 255, 0));
    EXPECT_FALSE(window.label(&ConsoleModel::lblSilence)->isVisible());
    EXPECT_FALSE(window.button(&ConsoleModel::cmdForceSwitch)->isEnabled());
    EXPECT_EQ(window.sourceList()->placeholderText(), "Select Source for Forced Manual Switch");
    emit window.sourceList()->activated(1);  // the operator picks an entry
    EXPECT_EQ(c.comboSourceList.text, "2 Select Source number 2");

    c.window = {.sizableBorder = false, .maximized = true};  // full screen, taskbar hidden
    window.refresh();
    EXPECT_EQ(window.windowState(), Qt::WindowFullScreen);
    c.window = {};
    window.refresh();
    EXPECT_EQ(window.windowState(), Qt::WindowNoState);
    EXPECT_EQ(window.size(), QSize(1041, 755));
}

TEST_F(MainWindowTest, ClicksReachTheirHandlersThroughTheFailureBoundary) {
    TestStation t;
    MainWindow window(*t);
    window.button(&ConsoleModel::cmdViewEvents)->click();
    EXPECT_EQ(t.processes.opened, std::vector<std::string>{(t.folder.path() / "sourceevents.ini").string()});

    t.console().cmdViewSource.enabled = false;  // disabled by a handler, not yet drawn
    window.button(&ConsoleModel::cmdViewSource)->click();
    EXPECT_EQ(t.processes.opened.size(), 1u);

    t.processes.onCall = [](const std::string&) { throw std::runtime_error("no process table"); };
    window.button(&ConsoleModel::cmdTerminate)->click();
    EXPECT_EQ(t.quits, 0);
    EXPECT_NE(t.console().txtAIR.find("  SYS - cmdTerminate_Click FAILED: no process table"),
              std::string::npos);

    window.close();
    EXPECT_EQ(t.quits, 1);  // closing the window ends the program
}

}  // namespace
}  // namespace bf::test
