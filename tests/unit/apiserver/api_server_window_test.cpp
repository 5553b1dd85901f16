#include "apiserver/api_server_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QTcpSocket>

#include "apiserver/request_text.h"
#include "qt_test_app.h"
#include "test_station.h"

namespace bf::test {
namespace {

using namespace std::chrono_literals;

// The window with its real Qt listener on a free port of 127.0.0.1, and a
// real client socket.
class ApiServerWindowTest : public QtAppTest {
protected:
    void SetUp() override {
        s->state.APIkey = "K";
        window = std::make_unique<ApiServerWindow>(*s, 0, "127.0.0.1");
    }

    // Connects, sends `request` (nothing when empty, then hangs up) and
    // returns everything the server sent until it closed the connection.
    std::string Exchange(const std::string& request) {
        QTcpSocket client;
        std::string received;
        QObject::connect(&client, &QTcpSocket::readyRead,
                         [&] { received += client.readAll().toStdString(); });
        client.connectToHost(QStringLiteral("127.0.0.1"), window->listeningPort());
        EXPECT_TRUE(
            processEventsUntil([&] { return client.state() == QAbstractSocket::ConnectedState; }, 5s));
        if (request.empty())
            client.disconnectFromHost();
        else
            client.write(request.data(), static_cast<qint64>(request.size()));
        EXPECT_TRUE(
            processEventsUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5s))
            << "the server did not close the connection";
        return received;
    }

    TestStation s;
    std::unique_ptr<ApiServerWindow> window;
};

TEST_F(ApiServerWindowTest, AnswersExactlyClosesAndReusesSlotOne) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Brackenfield API Server"));
    EXPECT_EQ(window->rowWidget(0)->text(), QStringLiteral("00 Listening"));

    EXPECT_EQ(Exchange("GET /api/metadata.php?id=K HTTP/1.1\r\nHost: station\r\n\r\n"),
              ComposeReply("None\r\nOK\r\n"));
    EXPECT_TRUE(processEventsUntil([&] { return s->api.rows.at(1) == "01 Closed"; }, 5s));
    EXPECT_EQ(s->console.lblRemoteStatus.caption, "2026-12-06 12:00:00  NET - 127.0.0.1 - METADATA REQUEST");
    QLabel* row = window->rowWidget(1);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(), QStringLiteral("01 Closed"));
    EXPECT_EQ(row->y(), ApiServerWindow::kRowHeight + ApiServerWindow::kRowGap);

    EXPECT_EQ(Exchange(""), "");  // a client that closes without sending
    EXPECT_TRUE(processEventsUntil([&] { return !window->server().busy(1); }, 5s));
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
