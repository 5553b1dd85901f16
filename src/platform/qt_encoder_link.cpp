#include "platform/qt_encoder_link.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <cerrno>
#include <cstring>

namespace bf {

namespace {

speed_t Speed(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        default:
            return B115200;
    }
}

std::string Why(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

QtEncoderLink::~QtEncoderLink() {
    close();
}

void QtEncoderLink::open(const EncoderTarget& target, Events events) {
    close();
    retired_.reset();
    events_ = std::move(events);
    context_ = std::make_unique<QObject>();
    if (target.kind == EncoderTarget::Kind::Serial)
        openSerial(target);
    else
        openSocket(target);
}

void QtEncoderLink::openSocket(const EncoderTarget& target) {
    QObject* context = context_.get();
    QAbstractSocket* socket = nullptr;
    if (target.kind == EncoderTarget::Kind::Tcp)
        socket = new QTcpSocket(context);
    else
        socket = new QUdpSocket(context);
    socket_ = socket;
    socket->setReadBufferSize(static_cast<qint64>(kBufferBytes));
    QObject::connect(socket, &QAbstractSocket::connected, context, [this] { events_.opened(); });
    QObject::connect(
        socket, &QAbstractSocket::errorOccurred, context,
        [this, socket](QAbstractSocket::SocketError) { fail(socket->errorString().toStdString()); });
    QObject::connect(socket, &QAbstractSocket::disconnected, context,
                     [this] { fail("the encoder closed the link"); });
    QObject::connect(socket, &QIODevice::readyRead, context, [socket] { socket->readAll(); });
    socket->connectToHost(QString::fromStdString(target.host), target.port);
}

void QtEncoderLink::openSerial(const EncoderTarget& target) {
    QObject* context = context_.get();
    auto later = [this, context](std::function<void()> event) {
        QTimer::singleShot(0, context, [this, event = std::move(event), generation = generation_] {
            if (generation == generation_) event();
        });
    };
    fd_ = ::open(target.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        later([this, why = Why("cannot open " + target.path)] { fail(why); });
        return;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        later([this, why = target.path + " is no serial port"] { fail(why); });
        return;
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, Speed(target.baud));
    ::cfsetospeed(&t, Speed(target.baud));
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        later([this, why = Why("cannot set " + target.path + " to 8N1")] { fail(why); });
        return;
    }
    auto* readable = new QSocketNotifier(fd_, QSocketNotifier::Read, context);
    QObject::connect(readable, &QSocketNotifier::activated, context, [this] { readSerial(); });
    writable_ = new QSocketNotifier(fd_, QSocketNotifier::Write, context);
    writable_->setEnabled(false);
    QObject::connect(writable_, &QSocketNotifier::activated, context, [this] {
        if (!flushSerial()) fail(Why("the device is gone"));
    });
    later([this] { events_.opened(); });
}

bool QtEncoderLink::send(std::string_view bytes) {
    // A failure shows at the next turn of the event loop, never inside this call.
    if (socket_) {
        if (socket_->state() != QAbstractSocket::ConnectedState ||
            socket_->bytesToWrite() + static_cast<qint64>(bytes.size()) > static_cast<qint64>(kBufferBytes))
            return false;
        return socket_->write(bytes.data(), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
    }
    if (fd_ < 0 || !writable_ || pending_.size() + bytes.size() > kBufferBytes) return false;
    pending_ += bytes;
    if (!flushSerial())
        QTimer::singleShot(0, context_.get(),
                           [this, generation = generation_, why = Why("the device is gone")] {
                               if (generation == generation_) fail(why);
                           });
    return true;
}

bool QtEncoderLink::flushSerial() {
    while (!pending_.empty() && fd_ >= 0) {
        const ssize_t n = ::write(fd_, pending_.data(), pending_.size());
        if (n > 0) {
            pending_.erase(0, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno != EAGAIN) {
            if (writable_) writable_->setEnabled(false);
            return false;
        } else {
            break;
        }
    }
    if (writable_) writable_->setEnabled(!pending_.empty());
    return true;
}

// An unplugged adapter, or a pseudo-terminal whose other side closed, reads
// as an error or an end.
void QtEncoderLink::readSerial() {
    char buffer[512];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
        fail(n == 0 ? std::string("the device is gone") : Why("the device is gone"));
}

void QtEncoderLink::fail(const std::string& why) {
    const auto failed = events_.failed;
    close();
    if (failed) failed(why);
}

void QtEncoderLink::close() {
    ++generation_;
    if (context_) {
        for (QObject* child : context_->children()) {
            child->disconnect();
            if (auto* notifier = qobject_cast<QSocketNotifier*>(child)) notifier->setEnabled(false);
        }
        if (socket_) socket_->abort();
        // Its sockets may be in the middle of an event of their own: it goes
        // at the next open, which no event of the link calls, or with the link.
        retired_ = std::move(context_);
    }
    socket_ = nullptr;
    writable_ = nullptr;
    pending_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    events_ = {};
}

}  // namespace bf
