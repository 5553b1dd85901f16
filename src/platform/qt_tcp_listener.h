#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/tcp_listener.h"

class QObject;

namespace bf {

class EventSet;
class ListenerWatch;

// The listeners' sockets: POSIX sockets, so that a half-close is seen as such
// (QTcpSocket takes it for a full disconnect and drops the reply). The
// listening socket and all its connections share one epoll set, and Qt's
// event loop watches only that set's descriptor: a wake-up costs the ready
// sockets, not every open one. Lives on the thread of the event loop that
// delivers its events.
class QtTcpListener : public TcpListener {
public:
    // A shortage is over once connections have been accepted for `calm`
    // without one.
    explicit QtTcpListener(std::chrono::milliseconds calm = std::chrono::seconds(10));
    ~QtTcpListener() override;
    QtTcpListener(const QtTcpListener&) = delete;
    QtTcpListener& operator=(const QtTcpListener&) = delete;

    // From the next listen() on, the system hands over a connection once
    // its caller has sent something, or after `upTo` of silence (rounded up
    // to whole seconds): a request costs one wake-up, not one for the
    // connection and another for its bytes. Zero: at once.
    void awaitFirstBytes(std::chrono::seconds upTo) { awaitFirstBytes_ = upTo; }

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
    friend class ListenerWatch;
    void StopListening();
    void ConnectionsWait();
    void Watch(bool enabled);
    void Rest();
    void ReportShortage(bool shortage);
    long Ceiling() const;

    int fd_ = -1;
    uint16_t port_ = 0;
    std::string error_;
    std::shared_ptr<EventSet> events_;      // shared with the connections, which may outlive the listener
    std::unique_ptr<ListenerWatch> watch_;  // hears the listening socket in events_
    std::unique_ptr<QObject> restContext_;  // ends a rest's timer with the socket
    bool watching_ = false;
    std::function<void()> handler_;
    std::function<void(bool)> shortageHandler_;
    bool drained_ = false;  // accept() has found the queue empty since the last wake-up
    bool again_ = false;    // the handler asked to be called again
    const std::chrono::milliseconds calm_;
    std::chrono::seconds awaitFirstBytes_{0};
    bool shortage_ = false;
    std::chrono::steady_clock::time_point lastShortage_;
    int lastTaken_ = -1;           // the descriptor of the last connection accepted
    std::optional<long> ceiling_;  // ListenerDescriptorCeiling() while the handler runs
};

}  // namespace bf
