#pragma once

#include <array>
#include <vector>

#include "app/reactions/as_run_story.h"
#include "app/reactions/counters.h"
#include "app/reactions/event_command.h"
#include "app/reactions/metadata_reactions.h"
#include "app/reactions/source_list_report.h"
#include "app/reactions/station_story.h"
#include "core/station_events.h"

namespace bf {

struct Station;

// What the station does when one of its parts announces something: each
// concern listens on its own, and this tells them all, in this order: the
// counters, the station log's story, the metadata (the strapline, AIR,
// billing), the operator's event command, the source list report, the
// as-run record, and last the one added.
class StationReactions : public StationListener {
public:
    explicit StationReactions(Station& station)
        : counters_(station),
          story_(station),
          metadata_(station),
          command_(station),
          report_(station),
          asRun_(station) {}
    void switched(const SwitchEvent& event) override { tellAll(&StationListener::switched, event); }
    void failoverStarted(const FailoverEvent& event) override {
        tellAll(&StationListener::failoverStarted, event);
    }
    void returned(const AirSource& source) override { tellAll(&StationListener::returned, source); }
    void titleChanged(const TitleChange& change) override { tellAll(&StationListener::titleChanged, change); }
    void paidAiring(const PaidItem& paid) override { tellAll(&StationListener::paidAiring, paid); }
    void playerRestarted(const RestartEvent& event) override {
        tellAll(&StationListener::playerRestarted, event);
    }
    void lastResort(const LastResortEvent& event) override { tellAll(&StationListener::lastResort, event); }
    void playerRefreshed(const RefreshEvent& event) override {
        tellAll(&StationListener::playerRefreshed, event);
    }
    void standby(const StandbyEvent& event) override { tellAll(&StationListener::standby, event); }
    void lastResortTrack(const std::string& title) override {
        tellAll(&StationListener::lastResortTrack, title);
    }
    void airTrouble(const AirTrouble& trouble) override { tellAll(&StationListener::airTrouble, trouble); }
    void checked(const CheckEvent& event) override { tellAll(&StationListener::checked, event); }
    void metadataLineChanged(const std::string& line) override {
        tellAll(&StationListener::metadataLineChanged, line);
    }
    void apiAnswered(const ApiAnswered& event) override { tellAll(&StationListener::apiAnswered, event); }
    void billingAnswered(const BillingAnswer& event) override {
        tellAll(&StationListener::billingAnswered, event);
    }
    void fileWriteFailed(const FileWriteFailure& event) override {
        tellAll(&StationListener::fileWriteFailed, event);
    }
    void certificateExpiring(const CertificateEvent& event) override {
        tellAll(&StationListener::certificateExpiring, event);
    }
    void fileTrouble(const FileTrouble& event) override { tellAll(&StationListener::fileTrouble, event); }
    void failoverResumed(const AirSource& failed) override {
        tellAll(&StationListener::failoverResumed, failed);
    }
    void restartsHeld(const RestartsHeld& event) override { tellAll(&StationListener::restartsHeld, event); }
    void channelSilence(const ChannelSilence& event) override {
        tellAll(&StationListener::channelSilence, event);
    }
    // Listeners the program adds after the others (the title outputs, the
    // webhook), told in the order added.
    void add(StationListener& listener) { added_.push_back(&listener); }

private:
    template <typename Method, typename Event>
    void tellAll(Method method, const Event& event) {
        for (StationListener* listener : listeners_) (listener->*method)(event);
        for (StationListener* listener : added_) (listener->*method)(event);
    }

    CountersReaction counters_;
    StationStory story_;
    MetadataReactions metadata_;
    EventCommand command_;
    SourceListReportReaction report_;
    AsRunStory asRun_;
    std::vector<StationListener*> added_;
    const std::array<StationListener*, 6> listeners_{&counters_, &story_,  &metadata_,
                                                     &command_,  &report_, &asRun_};
};

}  // namespace bf
