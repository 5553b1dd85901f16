#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

namespace bf::test {

// Base of every suite that needs Qt's event loop or a window: a QApplication
// on the offscreen platform lives from the suite's first test to its last
// (unless another suite's application still exists).
class QtAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() != nullptr) return;
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { app.reset(); }

private:
    static inline std::unique_ptr<QApplication> app;
    static inline int argc = 1;
    static inline char arg0[] = "unit_tests";
    static inline char* argv[] = {arg0, nullptr};
};

// Runs the event loop until `done` holds (true) or `limit` passes (false).
inline bool processEventsUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
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
