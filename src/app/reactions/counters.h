#pragma once

#include "core/station_events.h"

namespace bf {

struct Station;

// Counts what the station did for the status listener: switches by cause,
// title changes, player restarts and refreshes, checks, API answers, billing answers and
// failed file writes.
class CountersReaction : public StationListener {
public:
    explicit CountersReaction(Station& station) : station_(station) {}
    void switched(const SwitchEvent& event) override;
    void titleChanged(const TitleChange& change) override;
    void playerRestarted(const RestartEvent& event) override;
    void playerRefreshed(const RefreshEvent& event) override;
    void checked(const CheckEvent& event) override;
    void apiAnswered(const ApiAnswered& event) override;
    void billingAnswered(const BillingAnswer& event) override;
    void fileWriteFailed(const FileWriteFailure& event) override;

private:
    Station& station_;
};

}  // namespace bf
