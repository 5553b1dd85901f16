#include "platform/thread_password_checker.h"

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QMetaObject>

#include "core/password_hash.h"

namespace bf {

ThreadPasswordChecker::ThreadPasswordChecker() {
    // A check at the interactive limits takes argon2id's 64 MiB (mapped and
    // let go by libsodium) and a table of 128 KiB from malloc. glibc would
    // raise its mapping threshold after the first such table and from then
    // on keep the tables in the thread's arena, which then holds a quarter
    // of a MiB between checks; pinned at its default, each table is mapped
    // and let go with its check.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackBytes);
    running_ = pthread_create(
                   &worker_, &attributes,
                   [](void* self) -> void* {
                       static_cast<ThreadPasswordChecker*>(self)->Work();
                       return nullptr;
                   },
                   this) == 0;
    pthread_attr_destroy(&attributes);
}

ThreadPasswordChecker::~ThreadPasswordChecker() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        waiting_.clear();
    }
    wake_.notify_one();
    if (running_) pthread_join(worker_, nullptr);
}

bool ThreadPasswordChecker::check(std::string hash, std::string password, std::function<void(bool)> done) {
    {
        std::lock_guard lock(mutex_);
        if (!running_ || waiting_.size() >= kMostWaiting) return false;
        waiting_.push_back({std::move(hash), std::move(password), std::move(done)});
    }
    wake_.notify_one();
    return true;
}

void ThreadPasswordChecker::Work() {
    // This thread alone: the air's loop wins the cores.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
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
