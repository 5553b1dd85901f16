#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "platform/encoder_link.h"

class QAbstractSocket;
class QSocketNotifier;

namespace bf {

// The encoder link over Qt's sockets (TCP, UDP; names resolved without
// blocking) and a POSIX serial port: raw 8N1 at the target's rate, no flow
// control, never the process's controlling terminal, written without
// blocking. Whatever the encoder answers is read and thrown away. Events
// come from the event loop of the calling thread's QCoreApplication.
class QtEncoderLink : public EncoderLink {
public:
    QtEncoderLink() = default;
    ~QtEncoderLink() override;
    QtEncoderLink(const QtEncoderLink&) = delete;
    QtEncoderLink& operator=(const QtEncoderLink&) = delete;

    void open(const EncoderTarget& target, Events events) override;
    bool send(std::string_view bytes) override;
    void close() override;

private:
    void openSocket(const EncoderTarget& target);
    void openSerial(const EncoderTarget& target);
    void fail(const std::string& why);
    // False when the device failed.
    bool flushSerial();
    void readSerial();

    Events events_;
    // The parent of the socket, the notifiers and the events put off; gone
    // with the link, and with it every event still to come.
    std::unique_ptr<QObject> context_;
    std::unique_ptr<QObject> retired_;  // the last link's, closed
    QAbstractSocket* socket_ = nullptr;
    int fd_ = -1;
    QSocketNotifier* writable_ = nullptr;
    std::string pending_;
    // Events put off belong to the link of their generation only.
    unsigned generation_ = 0;
};

}  // namespace bf
