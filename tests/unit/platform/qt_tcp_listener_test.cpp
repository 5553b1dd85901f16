#include "platform/qt_tcp_listener.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "qt_test_app.h"

namespace bf::test {
namespace {

using QtTcpListenerTest = QtAppTest;

// A client that ends its side after the request (nc -N), over real sockets
// on 127.0.0.1, still gets the reply, which the server sends only once the
// end has been seen.
TEST_F(QtTcpListenerTest, PeerThatHalfClosesGetsTheReplyAndAPortInUseIsNamed) {
    QtTcpListener listener;
    ASSERT_TRUE(listener.listen(0, "127.0.0.1"));
    std::unique_ptr<TcpConnection> connection;
    std::string received;
    bool sent = false, failed = false;
    TcpConnection::Events events;
    events.dataArrived = [&] { received += connection->readAll(); };
    events.inputEnded = [&] { connection->send("reply to " + received); };
    events.sendComplete = [&] {
        sent = true;
        connection->close();
    };
    events.closed = [&] { failed = true; };
    listener.setConnectionRequestHandler([&] { connection = listener.accept(events); });

    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(listener.localPort());
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);
    ASSERT_EQ(::send(client, "request", 7, 0), 7);
    ::shutdown(client, SHUT_WR);
    EXPECT_TRUE(processEventsUntil([&] { return sent || failed; }));
    EXPECT_FALSE(failed);
    EXPECT_EQ(connection->peerAddress(), "127.0.0.1");
    std::string reply(64, '\0');
    ssize_t n = 0, total = 0;
    while ((n = ::recv(client, reply.data() + total, reply.size() - total, 0)) > 0) total += n;
    ::close(client);
    EXPECT_EQ(n, 0);  // the server's end, after the reply
    EXPECT_EQ(reply.substr(0, total), "reply to request");

    QtTcpListener second;
    EXPECT_FALSE(second.listen(listener.localPort(), "127.0.0.1"));
    EXPECT_EQ(second.listenError(), "port already in use");
}

}  // namespace
}  // namespace bf::test
