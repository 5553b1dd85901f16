#include "apiserver/api_server_window.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QLabel>
#include <QMessageBox>
#include <QTcpSocket>

#include "apiserver/request_text.h"
#include "qt_test_app.h"
#include "test_station.h"

namespace bf::test {
namespace {

using namespace std::chrono_literals;

// A smoke check with the real Qt listener on a free port of 127.0.0.1 and a
// real client; the slots' rules are tested over fakes.
class ApiServerWindowTest : public QtAppTest {
protected:
    // Sends `request` (then ends its side, as nc -N does, when `halfClose`)
    // and returns what the server sent until it closed.
    std::string Exchange(const std::string& request, bool halfClose = false) {
        QTcpSocket client;
        std::string received;
        QObject::connect(&client, &QTcpSocket::readyRead,
                         [&] { received += client.readAll().toStdString(); });
        client.connectToHost(QStringLiteral("127.0.0.1"), window.listeningPort());
        client.write(request.data(), static_cast<qint64>(request.size()));
        if (halfClose && client.waitForConnected(5000) && client.waitForBytesWritten(5000))
            ::shutdown(static_cast<int>(client.socketDescriptor()), SHUT_WR);
        EXPECT_TRUE(
            processEventsUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5s));
        return received;
    }

    TestStation s;
    ApiServerWindow window{*s, 0, "127.0.0.1"};
};

TEST_F(ApiServerWindowTest, ServesOverARealSocketDrawsTheRowsAndShowsAFailureWithoutBlocking) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Brackenfield API Server"));
    EXPECT_EQ(window.rowWidget(0)->text(), QStringLiteral("00 Listening"));
    const std::string metadata = "GET /api/metadata.php?id= HTTP/1.1\r\nHost: station\r\n\r\n";
    EXPECT_EQ(Exchange(metadata), ComposeReply("None\r\nOK\r\n"));
    EXPECT_EQ(Exchange(metadata, true), ComposeReply("None\r\nOK\r\n"));
    QLabel* row = window.rowWidget(1);
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(processEventsUntil([&] { return row->text() == QStringLiteral("01 Closed"); }, 5s));
    EXPECT_EQ(row->y(), ApiServerWindow::kRowHeight + ApiServerWindow::kRowGap);

    const std::string listing = "GET /api/listsources.php?id= HTTP/1.0\r\n\r\n";  // no sourcelist.ini
    EXPECT_EQ(Exchange(listing), ComposeReply("ERROR"));
    QMessageBox* box = window.failureBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->text(), QStringLiteral("File not found\r\n Line of error:30"));
    EXPECT_EQ(Exchange(listing), ComposeReply("ERROR"));  // answered while the box is open
    EXPECT_EQ(window.failureBox(), box);                  // and no second box
}

}  // namespace
}  // namespace bf::test
