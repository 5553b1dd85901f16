#include "platform/qt_tcp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/descriptor_budget.h"

namespace bf {

namespace {

// A peer that sends megabytes cannot make the process buffer them: reading
// pauses at this many unread bytes.
constexpr size_t kReadBufferBytes = 64 * 1024;
// Connections the kernel holds for us while the thread is blocked (a
// switch's two-second overlap) or while every slot is busy; beyond them, a
// burst of clients would be held back by the clients' own retries.
constexpr int kListenBacklog = 256;
// Out of descriptors, the listener rests this long before it tries again
// instead of waking up at once for the connection it cannot take.
constexpr int kShortageRestMs = 250;

bool TryAgain(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool OutOfResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// "192.0.2.7"; an IPv4 peer of a dual-stack socket never in the IPv6-mapped form.
std::string AddressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    } else if (address.ss_family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6&>(address).sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&v6))
            inet_ntop(AF_INET, &v6.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &v6, text, sizeof text);
    }
    return text;
}

std::string ListenErrorText(int error, uint16_t port) {
    switch (error) {
        case EACCES:
        case EPERM:
            return port < 1024 ? "permission denied (ports below 1024 need root or CAP_NET_BIND_SERVICE)"
                               : "permission denied";
        case EADDRINUSE:
            return "port already in use";
        case EADDRNOTAVAIL:
            return "address not on this machine";
        default:
            return std::strerror(error);
    }
}

// A connection's notifiers may be dropped inside their own signal (a handler
// destroys the connection): they are cut off at once and deleted later.
struct CutOffLater {
    void operator()(QSocketNotifier* notifier) const {
        notifier->setEnabled(false);
        notifier->disconnect();
        notifier->deleteLater();
    }
};
using Notifier = std::unique_ptr<QSocketNotifier, CutOffLater>;

Notifier MakeNotifier(int fd, QSocketNotifier::Type type) {
    return Notifier(std::make_unique<QSocketNotifier>(fd, type).release());
}

class PosixConnection : public TcpConnection {
public:
    // `peer`: the caller's address as accept gave it.
    PosixConnection(int fd, std::string peer, Events events)
        : fd_(fd), events_(std::make_shared<Events>(std::move(events))), peer_(std::move(peer)) {
        reader_ = MakeNotifier(fd, QSocketNotifier::Read);
        writer_ = MakeNotifier(fd, QSocketNotifier::Write);
        writer_->setEnabled(false);
        QObject::connect(reader_.get(), &QSocketNotifier::activated, reader_.get(), [this] { OnReadable(); });
        QObject::connect(writer_.get(), &QSocketNotifier::activated, writer_.get(), [this] { OnWritable(); });
    }

    ~PosixConnection() override { CloseDescriptor(); }

    std::string readAll() override {
        if (in_.empty() && fd_ >= 0 && !closing_ && !inputEnded_) {  // what the system already holds
            char buffer[16 * 1024];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) in_.append(buffer, static_cast<size_t>(n));
        }
        std::string bytes = std::exchange(in_, {});
        if (reader_ && !closing_ && !inputEnded_) reader_->setEnabled(true);
        return bytes;
    }

    // Goes out from the event loop: sendComplete never runs inside send().
    void send(std::string_view bytes) override {
        if (fd_ < 0 || closing_) return;
        out_.append(bytes);
        writer_->setEnabled(true);
    }

    void close() override {
        if (closing_) return;
        closing_ = true;
        in_.clear();
        if (fd_ < 0) return;
        reader_->setEnabled(!inputEnded_);
        if (out_.empty()) EndOutput();  // otherwise once the last byte has gone
    }

    std::string peerAddress() const override { return peer_; }

private:
    void OnReadable() {
        char buffer[16 * 1024];
        if (closing_) {  // lingering: what still comes is thrown away
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && !TryAgain(errno))) CloseDescriptor();
            return;
        }
        const size_t room = kReadBufferBytes - std::min(in_.size(), kReadBufferBytes);
        if (room == 0) {
            reader_->setEnabled(false);  // readAll() resumes
            return;
        }
        const ssize_t n = ::recv(fd_, buffer, std::min(room, sizeof buffer), 0);
        if (n > 0) {
            in_.append(buffer, static_cast<size_t>(n));
            Fire(&Events::dataArrived);
        } else if (n == 0) {
            inputEnded_ = true;
            reader_->setEnabled(false);
            Fire(&Events::inputEnded);
        } else if (!TryAgain(errno)) {
            Fail();
        }
    }

    void OnWritable() {
        while (!out_.empty()) {
            const ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL);
            if (n > 0) {
                out_.erase(0, static_cast<size_t>(n));
            } else if (n < 0 && TryAgain(errno)) {
                return;  // the next notification goes on
            } else {
                if (closing_)
                    CloseDescriptor();
                else
                    Fail();
                return;
            }
        }
        writer_->setEnabled(false);
        if (closing_)
            EndOutput();
        else
            Fire(&Events::sendComplete);
    }

    // The reply is out: our side ends; the descriptor goes as soon as the
    // peer's side has ended too.
    void EndOutput() {
        ::shutdown(fd_, SHUT_WR);
        if (inputEnded_) CloseDescriptor();
    }

    void Fail() {
        CloseDescriptor();
        Fire(&Events::closed);
    }

    // The handler may destroy this object: nothing of it is touched after.
    void Fire(std::function<void()> Events::*event) {
        if (closing_) return;
        const std::shared_ptr<Events> keep = events_;
        if ((*keep).*event) ((*keep).*event)();
    }

    void CloseDescriptor() {
        reader_.reset();
        writer_.reset();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int fd_;
    Notifier reader_, writer_;
    std::shared_ptr<Events> events_;
    std::string peer_, in_, out_;
    bool inputEnded_ = false;
    bool closing_ = false;
};

}  // namespace

QtTcpListener::QtTcpListener(std::chrono::milliseconds calm) : calm_(calm) {}

QtTcpListener::~QtTcpListener() {
    StopListening();
}

void QtTcpListener::StopListening() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    port_ = 0;
}

bool QtTcpListener::listen(uint16_t port, const std::string& address) {
    StopListening();
    error_.clear();
    sockaddr_storage where{};
    socklen_t length = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(where);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(where);
    auto useV4 = [&](in_addr host) {
        v4 = sockaddr_in{};
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr = host;
        length = sizeof v4;
    };
    if (address.empty()) {  // every interface, IPv4 and IPv6 alike
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        v6.sin6_addr = in6addr_any;
        length = sizeof v6;
    } else if (in_addr host{}; inet_pton(AF_INET, address.c_str(), &host) == 1) {
        useV4(host);
    } else if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        length = sizeof v6;
    } else {
        error_ = "not an IP address";
        return false;
    }

    int fd = ::socket(where.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 && address.empty() && errno == EAFNOSUPPORT) {  // a machine without IPv6
        useV4(in_addr{htonl(INADDR_ANY)});
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    if (fd < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    // A restart must not wait for the last run's connections to time out.
    const int on = 1, off = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (address.empty() && where.ss_family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&where), length) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        error_ = ListenErrorText(errno, port);
        ::close(fd);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    port_ = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<const sockaddr_in&>(bound).sin_port
                                             : reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
    fd_ = fd;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { ConnectionsWait(); });
    return true;
}

bool QtTcpListener::isListening() const {
    return fd_ >= 0;
}

uint16_t QtTcpListener::localPort() const {
    return port_;
}

std::string QtTcpListener::listenError() const {
    return error_;
}

void QtTcpListener::setConnectionRequestHandler(std::function<void()> handler) {
    handler_ = std::move(handler);
}

void QtTcpListener::ConnectionsWait() {
    drained_ = again_ = false;
    // The limit is read once for the connections of one wake-up.
    ceiling_ = ListenerDescriptorCeiling();
    if (handler_) handler_();
    ceiling_.reset();
    // Connections left waiting would wake us again at once: rest until
    // accept() is called, unless the handler wants them at the next round.
    if (!drained_ && !again_ && notifier_) notifier_->setEnabled(false);
}

// The notifier, enabled by accept(), goes on announcing the waiting
// connections after the loop's other events.
void QtTcpListener::callAgain() {
    again_ = true;
}

std::unique_ptr<TcpConnection> QtTcpListener::accept(TcpConnection::Events events) {
    if (fd_ < 0) return nullptr;
    notifier_->setEnabled(true);
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 && fd >= Ceiling()) {  // its owner made no room: the caller is dropped
            ::close(fd);
            fd = -1;
            errno = EMFILE;
        }
        if (fd >= 0) {
            lastTaken_ = fd;
            if (shortage_ && std::chrono::steady_clock::now() - lastShortage_ >= calm_) ReportShortage(false);
            return std::make_unique<PosixConnection>(fd, AddressText(peer), std::move(events));
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            drained_ = true;
            return nullptr;
        }
        // A connection that failed before it was taken is gone; the next may be fine.
        if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
        Rest();
        if (OutOfResources(errno)) ReportShortage(true);
        return nullptr;
    }
}

// The kernel hands out the lowest free descriptor: when that lies at or
// above the ceiling, every one below it is taken.
bool QtTcpListener::atReserve() {
    // Well below the ceiling no probe is needed: the last connection taken got
    // the lowest descriptor free then, and the rest of the program opens only
    // a few at a time. Should the guess fail, accept() drops the caller, as it
    // does when the owner has made no room.
    if (lastTaken_ >= 0 && lastTaken_ + kDescriptorReserve < Ceiling()) return false;
    pollfd waiting{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&waiting, 1, 0) != 1) return false;
    const int probe = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    const bool reserve = probe < 0 || probe >= Ceiling();
    if (probe >= 0) ::close(probe);
    if (reserve) ReportShortage(true);
    return reserve;
}

void QtTcpListener::setShortageHandler(std::function<void(bool)> handler) {
    shortageHandler_ = std::move(handler);
}

long QtTcpListener::Ceiling() const {
    return ceiling_ ? *ceiling_ : ListenerDescriptorCeiling();
}

// The waiting connection would wake the listener again at once: it rests,
// then tries again.
void QtTcpListener::Rest() {
    notifier_->setEnabled(false);
    QTimer::singleShot(kShortageRestMs, notifier_.get(),
                       [notifier = notifier_.get()] { notifier->setEnabled(true); });
}

void QtTcpListener::ReportShortage(bool shortage) {
    if (shortage) lastShortage_ = std::chrono::steady_clock::now();
    if (shortage == shortage_) return;
    shortage_ = shortage;
    if (shortageHandler_) shortageHandler_(shortage);
}

}  // namespace bf
