#include "core/log_output.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>

namespace bf {

LogOutput::LogOutput(int fd, size_t limit) : fd_(fd), limit_(limit) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    socket_ = S_ISSOCK(st.st_mode);
    // A file on a disk takes its bytes at once; a pipe or a terminal is
    // opened anew, non-blocking, so that the mode of the descriptor others
    // share (a shell's terminal) stays as it is.
    if (socket_ || S_ISREG(st.st_mode)) return;
    const int own =
        ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (own >= 0) {
        fd_ = own;
        ownFd_ = true;
    } else {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
}

LogOutput::~LogOutput() {
    if (ownFd_) ::close(fd_);
}

void LogOutput::write(std::string_view line) {
    if (queuedBytes_ + line.size() > limit_) {
        ++dropped_;
    } else {
        queue_.emplace_back(line);
        queuedBytes_ += line.size();
    }
    flush();
}

void LogOutput::flush() {
    if (queue_.empty()) return;
    // SIGPIPE is held back while writing, so that a reader that went away
    // ends the write, not the station; a SIGPIPE raised here is taken back.
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    while (!queue_.empty()) {
        const std::string_view rest = std::string_view(queue_.front()).substr(frontWritten_);
        const ssize_t n = socket_ ? ::send(fd_, rest.data(), rest.size(), MSG_DONTWAIT | MSG_NOSIGNAL)
                                  : ::write(fd_, rest.data(), rest.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            // Nobody reads: what waits is lost.
            dropped_ += queue_.size();
            queue_.clear();
            queuedBytes_ = 0;
            frontWritten_ = 0;
            break;
        }
        frontWritten_ += static_cast<size_t>(n);
        if (frontWritten_ == queue_.front().size()) {
            queuedBytes_ -= queue_.front().size();
            queue_.pop_front();
            frontWritten_ = 0;
        }
    }
    const timespec noWait{0, 0};
    while (sigtimedwait(&pipe, nullptr, &noWait) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace bf
