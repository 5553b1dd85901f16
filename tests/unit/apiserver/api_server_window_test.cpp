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

// The real listener on a free port of 127.0.0.1 and a real client; the
// slots' rules are tested over fakes.
class ApiServerWindowTest : public QtAppTest {
protected:
    // Sends `request`, ends its side (as nc -N does) and returns what the
    // server sent until it closed.
    std::string Exchange(const std::string& request) {
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), window.listeningPort());
        client.write(request.data(), static_cast<qint64>(request.size()));
        EXPECT_TRUE(client.waitForBytesWritten(5000));
        ::shutdown(static_cast<int>(client.socketDescriptor()), SHUT_WR);
        EXPECT_TRUE(
            processEventsUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }, 5s));
        return client.readAll().toStdString();
    }

    TestStation s;
    ApiServerWindow window{*s, 0, "127.0.0.1"};
};

TEST_F(ApiServerWindowTest, AnswersACallerThatEndsItsSideAndShowsAFailureWithoutBlocking) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Brackenfield API Server"));
    // Half a request is all the caller will send: it is answered.
    EXPECT_EQ(Exchange("GET /api/metadata.php?id="), ComposeReply("ERROR"));
    EXPECT_EQ(Exchange("GET /api/listsources.php?id= HTTP/1.0\r\n\r\n"), ComposeReply("ERROR"));  // no list
    QMessageBox* box = window.failureBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("File not found\r\n Line of error:30"));
    EXPECT_EQ(window.rowWidget(1)->text(), QStringLiteral("01 Closed"));
    EXPECT_EQ(window.rowWidget(1)->y(),
              ApiServerWindow::kRowHeight + ApiServerWindow::kRowGap);  // below row 0
    EXPECT_EQ(Exchange("GET /api/metadata.php?id= HTTP/1.1\r\n\r\n"), ComposeReply("None\r\nOK\r\n"));
    EXPECT_EQ(window.failureBox(), box);  // answered while the box is open; no second box
}

}  // namespace
}  // namespace bf::test
