#include "app/reactions/counters.h"

#include "core/station.h"

namespace bf {

void CountersReaction::switched(const SwitchEvent& event) {
    station_.counters.countSwitch(event.cause);
}

void CountersReaction::titleChanged(const TitleChange& change) {
    // The strapline in place of a failed source's title is no new title.
    if (change.cause == TitleCause::Failover) return;
    station_.counters.countTitleChange(station_.state.SystemRuntime, station_.clock.now().epoch);
}

void CountersReaction::playerRestarted(const RestartEvent&) {
    ++station_.counters.playerRestarts;
}

void CountersReaction::playerRefreshed(const RefreshEvent& event) {
    ++station_.counters.playerRefreshes[static_cast<size_t>(event.reason)];
}

void CountersReaction::checked(const CheckEvent& event) {
    station_.counters.countHealthCheck(event.result, event.waited, station_.clock.now().epoch);
}

void CountersReaction::apiAnswered(const ApiAnswered& event) {
    station_.counters.countApiRequest(event.command, event.result);
}

void CountersReaction::billingAnswered(const BillingAnswer& event) {
    const double now = station_.clock.now().epoch;
    switch (event.outcome) {
        case BillingOutcome::Answered:
            station_.counters.countBillingReport(true, now);
            break;
        case BillingOutcome::Refused:
            ++station_.counters.billingReportsRefused;
            station_.counters.lastBillingAnswerTime = now;
            break;
        case BillingOutcome::Unanswered:
            station_.counters.countBillingReport(false, now);
            break;
    }
}

void CountersReaction::fileWriteFailed(const FileWriteFailure&) {
    ++station_.counters.fileWriteFailures;
}

}  // namespace bf
