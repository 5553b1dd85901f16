#pragma once

#include <pthread.h>

#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/password_checker.h"

namespace bf {

// The checks on a thread of their own; verdicts come back through the Qt
// event loop of the thread that made the checker. The thread runs at the
// lowest priority (nice 19), so that a login flood leaves the cores to the
// air's loop, on a stack of kStackBytes, not the usual 8 MiB.
class ThreadPasswordChecker final : public PasswordChecker {
public:
    static constexpr size_t kStackBytes = 256 * 1024;

    ThreadPasswordChecker();
    ~ThreadPasswordChecker() override;
    bool check(std::string hash, std::string password, std::function<void(bool)> done) override;

private:
    struct Job {
        std::string hash, password;
        std::function<void(bool)> done;
    };
    void Work();

    QObject context_;  // verdicts are delivered to it; gone with the checker, they are dropped
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> waiting_;
    bool ending_ = false;
    pthread_t worker_{};
    bool running_ = false;  // the thread could be made: checks are taken
};

}  // namespace bf
