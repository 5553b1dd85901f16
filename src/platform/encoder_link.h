#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace bf {

// Where an RDS encoder takes its lines: a TCP connection, UDP datagrams (one
// a line) or a serial port (8N1, no flow control).
struct EncoderTarget {
    enum class Kind { Tcp, Udp, Serial };
    Kind kind = Kind::Tcp;
    std::string host;  // TCP, UDP: a name or an address (IPv6 without brackets)
    uint16_t port = 0;
    std::string path;  // serial: the device
    int baud = 0;      // serial: one of 1200, 2400, ..., 115200
    bool operator==(const EncoderTarget&) const = default;
};

// One link to an encoder. Nothing of it ever blocks the caller: opening,
// connecting and writing go on in the event loop, and what the encoder does
// not take is held in a small buffer of the link's own, bounded.
class EncoderLink {
public:
    struct Events {
        std::function<void()> opened;  // the link takes lines now
        // The link failed or could not be opened (the device is gone, the
        // peer closed or reset the connection); it is closed. In a few words.
        std::function<void(const std::string& why)> failed;
    };

    // Most bytes the link holds that the encoder has not taken yet.
    static constexpr size_t kBufferBytes = 4096;

    virtual ~EncoderLink() = default;
    // Closes any link first; `opened` or `failed` comes later, from the
    // event loop, never inside this call.
    virtual void open(const EncoderTarget& target, Events events) = 0;
    // Hands a line over (a whole datagram over UDP). False when it is not
    // taken: the link is not open, or its buffer has no room for all of it.
    virtual bool send(std::string_view bytes) = 0;
    // Drops the link at once; no event of it runs afterwards.
    virtual void close() = 0;
};

}  // namespace bf
