#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/tcp_listener.h"

class QSocketNotifier;

namespace bf {

// The listeners' sockets: POSIX sockets whose readiness Qt's event loop
// reports (QSocketNotifier), so that a half-close is seen as such (QTcpSocket
// takes it for a full disconnect and drops the reply). Lives on the thread of
// the event loop that delivers its events.
class QtTcpListener : public TcpListener {
public:
    // A shortage is over once connections have been accepted for `calm`
    // without one.
    explicit QtTcpListener(std::chrono::milliseconds calm = std::chrono::seconds(10));
    ~QtTcpListener() override;
    QtTcpListener(const QtTcpListener&) = delete;
    QtTcpListener& operator=(const QtTcpListener&) = delete;

    bool listen(uint16_t port, const std::string& address = {}) override;
    bool isListening() const override;
    uint16_t localPort() const override;
    std::string listenError() const override;
    void setConnectionRequestHandler(std::function<void()> handler) override;
    std::unique_ptr<TcpConnection> accept(TcpConnection::Events events) override;
    bool atReserve() override;
    void callAgain() override;
    void setShortageHandler(std::function<void(bool)> handler) override;

private:
    void StopListening();
    void ConnectionsWait();
    void Rest();
    void ReportShortage(bool shortage);
    long Ceiling() const;

    int fd_ = -1;
    uint16_t port_ = 0;
    std::string error_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> handler_;
    std::function<void(bool)> shortageHandler_;
    bool drained_ = false;  // accept() has found the queue empty since the last wake-up
    bool again_ = false;    // the handler asked to be called again
    const std::chrono::milliseconds calm_;
    bool shortage_ = false;
    std::chrono::steady_clock::time_point lastShortage_;
    int lastTaken_ = -1;           // the descriptor of the last connection accepted
    std::optional<long> ceiling_;  // ListenerDescriptorCeiling() while the handler runs
};

}  // namespace bf
