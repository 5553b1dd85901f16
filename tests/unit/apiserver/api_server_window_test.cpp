#include "apiserver/api_server_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTcpSocket>
#include <chrono>
#include <functional>

#include "apiserver/request_text.h"
#include "test_station.h"

namespace bf::test {
namespace {

// The window with its real Qt listener on a free port of 127.0.0.1, and a
// real client socket, on Qt's offscreen platform.
class ApiServerWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) app() = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { app().reset(); }
    void SetUp() override {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
            GTEST_SKIP() << "another suite holds a non-GUI application object";
        s->state.APIkey = "K";
        window = std::make_unique<ApiServerWindow>(*s, 0, "127.0.0.1");
    }

    static std::unique_ptr<QApplication>& app() {
        static std::unique_ptr<QApplication> instance;
        return instance;
    }
    static inline int argc = 3;
    static inline char arg0[] = "unit_tests", arg1[] = "-platform", arg2[] = "offscreen";
    static inline char* argv[] = {arg0, arg1, arg2, nullptr};

    static bool PumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

    // Connects, sends `request` (nothing when empty, then hangs up) and
    // returns everything the server sent until it closed the connection.
    std::string Exchange(const std::string& request) {
        QTcpSocket client;
        std::string received;
        QObject::connect(&client, &QTcpSocket::readyRead,
                         [&] { received += client.readAll().toStdString(); });
        client.connectToHost(QStringLiteral("127.0.0.1"), window->listeningPort());
        EXPECT_TRUE(PumpUntil([&] { return client.state() == QAbstractSocket::ConnectedState; }));
        if (request.empty()) {
            client.disconnectFromHost();
        } else {
            client.write(request.data(), static_cast<qint64>(request.size()));
        }
        EXPECT_TRUE(PumpUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }))
            << "the server did not close the connection";
        return received;
    }

    TestStation s;
    std::unique_ptr<ApiServerWindow> window;
};

TEST_F(ApiServerWindowTest, AnswersARequestExactlyAndClosesTheConnection) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Brackenfield API Server"));
    EXPECT_EQ(window->rowWidget(0)->text(), QStringLiteral("00 Listening"));

    EXPECT_EQ(Exchange("GET /api/metadata.php?id=K HTTP/1.1\r\nHost: station\r\n\r\n"),
              ComposeReply("None\r\nOK\r\n"));
    EXPECT_TRUE(PumpUntil([&] { return s->api.rows.at(1) == "01 Closed"; }));
    EXPECT_EQ(s->console.lblRemoteStatus.caption, "2026-12-06 12:00:00  NET - 127.0.0.1 - METADATA REQUEST");

    QLabel* row = window->rowWidget(1);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(), QStringLiteral("01 Closed"));
    EXPECT_EQ(row->y(), ApiServerWindow::kRowHeight + ApiServerWindow::kRowGap);
}

TEST_F(ApiServerWindowTest, ClientThatClosesWithoutSendingLeavesRowClosedAndItsSlotFree) {
    EXPECT_EQ(Exchange(""), "");
    EXPECT_TRUE(PumpUntil([&] { return !window->server().busy(1); }));
    EXPECT_EQ(s->api.rows.at(1), "01 Closed");
    EXPECT_EQ(Exchange("HELLO\r\n"), ComposeReply("ERROR"));
    EXPECT_EQ(window->server().highestSlot(), 1);
}

TEST_F(ApiServerWindowTest, FailureShowsOneBoxThatDoesNotBlock) {
    const std::string request = "GET /api/listsources.php?id=K HTTP/1.0\r\n\r\n";  // no sourcelist.ini
    EXPECT_EQ(Exchange(request), ComposeReply("ERROR"));
    QMessageBox* box = window->failureBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->text(), QStringLiteral("File not found\r\n Line of error:30"));
    EXPECT_EQ(Exchange(request), ComposeReply("ERROR"));  // answered while the box is open
    EXPECT_EQ(window->failureBox(), box);
}

}  // namespace
}  // namespace bf::test
