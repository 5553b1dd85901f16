#pragma once

#include <functional>
#include <memory>

#include "platform/tcp_listener.h"

class QTcpServer;

namespace bf {

// The API server's sockets over QTcpServer/QTcpSocket. Lives on the thread of
// the event loop that delivers its events.
class QtTcpListener : public TcpListener {
public:
    QtTcpListener();
    ~QtTcpListener() override;
    QtTcpListener(const QtTcpListener&) = delete;
    QtTcpListener& operator=(const QtTcpListener&) = delete;

    bool listen(uint16_t port, const std::string& address = {}) override;
    bool isListening() const override;
    uint16_t localPort() const override;
    void setConnectionRequestHandler(std::function<void()> handler) override;
    std::unique_ptr<TcpConnection> accept(TcpConnection::Events events) override;

private:
    std::unique_ptr<QTcpServer> server_;
    std::function<void()> handler_;
};

}  // namespace bf
