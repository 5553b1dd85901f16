#include "platform/thread_password_checker.h"

#include <QMetaObject>

#include "core/password_hash.h"

namespace bf {

ThreadPasswordChecker::ThreadPasswordChecker() : worker_([this] { Work(); }) {}

ThreadPasswordChecker::~ThreadPasswordChecker() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        waiting_.clear();
    }
    wake_.notify_one();
    worker_.join();
}

bool ThreadPasswordChecker::check(std::string hash, std::string password, std::function<void(bool)> done) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_.size() >= kMostWaiting) return false;
        waiting_.push_back({std::move(hash), std::move(password), std::move(done)});
    }
    wake_.notify_one();
    return true;
}

void ThreadPasswordChecker::Work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !waiting_.empty(); });
            if (ending_) return;
            job = std::move(waiting_.front());
            waiting_.pop_front();
        }
        const bool matches = PasswordMatches(job.hash.empty() ? DummyPasswordHash() : job.hash, job.password);
        QMetaObject::invokeMethod(
            &context_, [done = std::move(job.done), matches] { done(matches); }, Qt::QueuedConnection);
    }
}

}  // namespace bf
