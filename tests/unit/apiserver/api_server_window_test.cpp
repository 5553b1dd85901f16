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

using ApiServerWindowTest = QtAppTest;

// The real listener on a free port of 127.0.0.1 and a real client; the
// slots' rules are tested over fakes.
TEST_F(ApiServerWindowTest, AnswersACallerThatEndsItsSideAndShowsAFailureWithoutBlocking) {
    TestStation s;
    ApiServerWindow window{*s, 0, "127.0.0.1"};
    // Sends `request`, ends its side (as nc -N does) and returns what the
    // server sent until it closed.
    auto exchange = [&](const std::string& request) {
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), window.listeningPort());
        client.write(request.data(), static_cast<qint64>(request.size()));
        EXPECT_TRUE(client.waitForBytesWritten(10000));
        ::shutdown(static_cast<int>(client.socketDescriptor()), SHUT_WR);
        EXPECT_TRUE(processEventsUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
        return client.readAll().toStdString();
    };
    // Half a request is all the caller will send: it is answered.
    EXPECT_EQ(exchange("GET /api/metadata.php?id="), ComposeReply("ERROR"));
    const std::string list = "GET /api/listsources.php?id= HTTP/1.0\r\n\r\n";  // there is no list
    EXPECT_EQ(exchange(list), ComposeReply("ERROR"));
    QMessageBox* box = window.failureBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("File not found\r\n Line of error:30"));
    EXPECT_EQ(window.rowWidget(1)->text(), QStringLiteral("01 Closed"));
    EXPECT_EQ(exchange(list), ComposeReply("ERROR"));  // answered while the box is open
    EXPECT_EQ(window.failureBox(), box);               // and no second box
}

}  // namespace
}  // namespace bf::test
