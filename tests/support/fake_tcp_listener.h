#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/tcp_listener.h"

namespace bf::test {

// The far end of one fake connection, as a test drives it. Every event
// arrives at once, in one piece.
struct FakePeer {
    std::string unread;             // sent by the peer, not yet read by the server
    std::vector<std::string> sent;  // every send() of the server
    bool open = false;              // the server still holds the connection
    bool closedAfterReply = false;  // the server ended it with close()
    std::string address;
    TcpConnection::Events events;

    void send(const std::string& bytes) {
        unread += bytes;
        Fire(events.dataArrived);
    }
    void completeSend() { Fire(events.sendComplete); }
    void halfClose() { Fire(events.inputEnded); }
    void hangUp() { Fire(events.closed); }

private:
    void Fire(std::function<void()> event) {  // a copy: the handler may destroy the connection
        if (open && !closedAfterReply && event) event();
    }
};

class FakeConnection : public TcpConnection {
public:
    explicit FakeConnection(std::shared_ptr<FakePeer> peer) : peer_(std::move(peer)) {}
    ~FakeConnection() override { peer_->open = false; }
    std::string readAll() override { return std::exchange(peer_->unread, {}); }
    void send(std::string_view bytes) override { peer_->sent.emplace_back(bytes); }
    void close() override { peer_->closedAfterReply = true; }
    bool lingers() const override { return true; }  // the peer's end stays open until it is destroyed
    std::string peerAddress() const override { return peer_->address; }

private:
    std::shared_ptr<FakePeer> peer_;
};

// Listens on any port it is given.
class FakeTcpListener : public TcpListener {
public:
    bool listen(uint16_t, const std::string&) override { return true; }
    bool isListening() const override { return true; }
    uint16_t localPort() const override { return 0; }
    std::string listenError() const override { return {}; }
    void setConnectionRequestHandler(std::function<void()> call) override { handler_ = std::move(call); }
    bool atReserve() override { return reserve && !waiting.empty(); }
    void setShortageHandler(std::function<void(bool)> call) override { shortage = std::move(call); }
    std::unique_ptr<TcpConnection> accept(TcpConnection::Events events) override {
        if (waiting.empty()) return nullptr;
        auto peer = waiting.front();
        waiting.pop_front();
        peer->open = true;
        peer->events = std::move(events);
        return std::make_unique<FakeConnection>(peer);
    }

    void callAgain() override { ++callsAgain; }

    // A client connects; the server is told at once unless `announce` is false.
    std::shared_ptr<FakePeer> connect(const std::string& from = "192.0.2.7", bool announce = true) {
        auto peer = std::make_shared<FakePeer>();
        peer->address = from;
        waiting.push_back(peer);
        if (announce) wake();
        return peer;
    }
    void wake() {
        if (handler_) handler_();
    }

    std::function<void(bool)> shortage;  // the owner's handler: a test calls it as the listener would
    bool reserve = false;                // only the reserve of descriptors is left
    int callsAgain = 0;                  // the owner asked to be woken again for the rest

private:
    std::function<void()> handler_;
    std::deque<std::shared_ptr<FakePeer>> waiting;
};

}  // namespace bf::test
