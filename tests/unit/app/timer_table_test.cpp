#include "app/timer_table.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_station.h"

namespace bf::test {
namespace {

TEST(TimerTable, AFailingTickIsLoggedWithItsHandlerAndTheNextTickRuns) {
    TestStation t;
    t.InetTestURL.onFetch = [](const std::string&) { throw std::runtime_error("no sockets"); };
    EXPECT_NO_THROW(t.timers.fire(TimerName::SourceCheck));
    EXPECT_EQ(t.console().txtAIR, " 2026-12-06 12:00:00  SYS - tmrSourceCheck_Timer FAILED: no sockets\r\n");
    t.InetTestURL.onFetch = nullptr;
    t.timers.fire(TimerName::SourceCheck);
    EXPECT_EQ(t.InetTestURL.headerRequests.size(), 2u);
}

}  // namespace
}  // namespace bf::test
