#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/password_checker.h"

namespace bf {

// The checks on a thread of their own; verdicts come back through the Qt
// event loop of the thread that made the checker.
class ThreadPasswordChecker final : public PasswordChecker {
public:
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
    std::thread worker_;
};

}  // namespace bf
