#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace bf {

// The copy of the station log on a descriptor (standard output: the
// journal's socket, a pipe, a terminal) that never holds the station: each
// line is written as far as the descriptor takes it now, without waiting,
// and what it does not take waits in a queue of at most `limit` bytes for
// the next write or flush. A line that would take the queue past its limit
// is dropped and counted; so are the lines waiting for a reader that went
// away. A socket is written with MSG_DONTWAIT, a pipe or a terminal through
// a non-blocking descriptor of its own (the shared one keeps its mode).
class LogOutput {
public:
    explicit LogOutput(int fd, size_t limit = 256 * 1024);
    ~LogOutput();
    LogOutput(const LogOutput&) = delete;
    LogOutput& operator=(const LogOutput&) = delete;

    // Queues one line (its line end included) and writes on.
    void write(std::string_view line);
    // Writes on what waits, as far as the descriptor takes it now.
    void flush();
    bool pending() const { return !queue_.empty(); }
    // Lines dropped since the start.
    uint64_t dropped() const { return dropped_; }

private:
    int fd_;
    bool ownFd_ = false;
    bool socket_ = false;
    size_t limit_;
    std::deque<std::string> queue_;
    size_t queuedBytes_ = 0;
    size_t frontWritten_ = 0;  // bytes of the first line already written
    uint64_t dropped_ = 0;
};

}  // namespace bf
