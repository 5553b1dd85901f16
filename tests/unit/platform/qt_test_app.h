#pragma once

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

namespace bf::test {

// Qt's event loop needs an application object. A suite creates one in
// SetUpTestSuite when no other test has, and removes it again afterwards.
class QtTestApp {
public:
    void acquire() {
        if (QCoreApplication::instance() == nullptr) app_ = std::make_unique<QCoreApplication>(argc_, argv_);
    }
    void release() { app_.reset(); }

private:
    static inline int argc_ = 1;
    static inline char name_[] = "unit_tests";
    static inline char* argv_[] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

// Runs the event loop until `done` holds or the deadline passes.
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QTimer wakeUp;  // so that waiting for more events always ends soon
    wakeUp.start(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace bf::test
