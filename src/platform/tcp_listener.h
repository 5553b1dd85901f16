#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace bf {

// One accepted TCP connection. Destroying the object drops the connection at
// once (no further data is sent) and no event of it runs afterwards.
class TcpConnection {
public:
    // Events of the connection; each runs on the event-loop thread.
    struct Events {
        std::function<void()> dataArrived;   // readAll() has new bytes
        std::function<void()> sendComplete;  // everything given to send() has been handed over
        // The peer has finished sending (a half-close: it may still wait for
        // a reply). A peer that closed altogether looks the same until a send
        // to it fails.
        std::function<void()> inputEnded;
        std::function<void()> closed;  // the connection failed (reset, a send that cannot go out)
    };

    virtual ~TcpConnection() = default;

    // Every byte that has arrived and was not read before, also bytes the
    // system holds that no dataArrived has announced yet.
    virtual std::string readAll() = 0;
    virtual void send(std::string_view bytes) = 0;
    // Ends the connection after what was sent has gone out. Until the peer
    // closes its side too, or the object is destroyed, whatever the peer
    // still sends is read and thrown away, so that it does not make the
    // peer's system discard the reply (the owner decides how long that
    // lingering may last); when nothing of the peer's is left unread, the
    // connection ends at once. No event runs after this call.
    virtual void close() = 0;
    // Whether the connection, after close(), still holds its descriptor
    // while it waits for the peer's end. One with nothing left unread ends
    // at once, and keeping it would make no room for anyone.
    virtual bool lingers() const = 0;
    // The peer's IP address as text ("192.0.2.7"; IPv4 peers never in the
    // IPv6-mapped form).
    virtual std::string peerAddress() const = 0;
};

// A listening socket (the remote API's, the status port's).
class TcpListener {
public:
    virtual ~TcpListener() = default;

    // Listens on `port` (0: any free port) of `address` ("" for every
    // interface). Returns whether it now listens.
    virtual bool listen(uint16_t port, const std::string& address = {}) = 0;
    virtual bool isListening() const = 0;
    virtual uint16_t localPort() const = 0;
    // Why the last listen() failed, in a few words ("port already in use");
    // empty while it listens.
    virtual std::string listenError() const = 0;

    // Called when connections wait to be accepted. Connections the handler
    // leaves waiting stay in the system's queue; the handler is not called
    // again for them until accept() has been called.
    virtual void setConnectionRequestHandler(std::function<void()> handler) = 0;
    // Takes the oldest waiting connection and gives it `events`; nullptr when
    // none waits. A connection that is not wanted is accepted and destroyed.
    // When the program runs out of descriptors, or only its reserve is left,
    // accept() returns nullptr and the listener rests a moment before it
    // calls the connection request handler again.
    virtual std::unique_ptr<TcpConnection> accept(TcpConnection::Events events) = 0;
    // Called by a handler that took its share of the waiting connections and
    // wants the rest: the handler is called again once the event loop has
    // run what else is due.
    virtual void callAgain() = 0;
    // Whether a connection waits whose acceptance would take one of the
    // program's reserve of descriptors. Its owner then makes room first
    // (drops a connection of its own) or leaves it waiting.
    virtual bool atReserve() = 0;
    // Called with true when the descriptors come down to the reserve or run
    // out, and with false when connections are accepted again after a calm
    // while: once each per shortage, however long it lasts.
    virtual void setShortageHandler(std::function<void(bool shortage)> handler) = 0;
};

}  // namespace bf
