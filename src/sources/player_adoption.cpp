#include "sources/player_adoption.h"

#include <array>
#include <optional>
#include <string>

#include "core/station.h"
#include "core/station_log.h"
#include "sources/on_air.h"
#include "sources/player_control.h"
#include "sources/source_list.h"

namespace bf {

namespace {

std::string KeptLine(int slot, const AirSource& source) {
    return "  SYS - KEPT ON AIR: " + PlayerName(slot) + " OF THE LAST RUN PLAYS SOURCE " +
           std::to_string(source.number) + (source.name.empty() ? "" : " " + source.name);
}

}  // namespace

void TakeOverLeftoverPlayers(Station& station, int16_t scheduled) {
    std::array<bool, 3> running{};  // by slot
    bool known = true;
    for (int slot = 1; slot <= 2; ++slot) {
        const std::optional<bool> found = station.processes.isRunning(PlayerName(slot));
        known = known && found.has_value();
        running[static_cast<size_t>(slot)] = found == true;
    }
    const std::string number = std::to_string(scheduled);
    const SourceEntry wanted = FindSource(station.workingFolder, number);
    const bool playable = number.size() == 1 && wanted.url.size() >= kShortestUrl;
    // Without the process table no player is known to be left, and without
    // a source to put on air none could be replaced: a clean start.
    if (!station.settings().KeepAirOnStart || !known || !playable) {
        StopPlayers(station.processes);
        return;
    }
    if (!running[1] && !running[2]) return;

    const auto other = [&](int slot) {
        return static_cast<int16_t>(running[slot == 1 ? 2 : 1] ? 3 - slot : 0);
    };
    for (int16_t slot = 1; slot <= 2; ++slot) {
        const std::optional<PlayerRecord> record = ReadPlayerRecord(station.workingFolder, slot);
        if (!running[static_cast<size_t>(slot)] || !record || record->lastResort || record->url != wanted.url)
            continue;
        KeepPlayerRecord(station.air, slot, *record);
        // Its log up to now was read by the last run: only its last title
        // is taken, as one read again (a paid item is not billed twice).
        station.metadata.playerLog.resumeSlot = slot;
        Observe(station, air::Adopt{slot,
                                    {scheduled, wanted.name, wanted.url},
                                    other(slot),
                                    PlayerHasStarted(station.workingFolder, slot)});
        AddToAirLog(station, KeptLine(slot, {scheduled, wanted.name, wanted.url}), LogPriority::Notice);
        return;
    }
    // A player of a link of the chain or of the last resort, which a failover
    // of the last run put on air, stays on air for the scheduled source. A
    // link that was chosen (its record says so) is no stand-in: like any
    // other choice, it plays until the scheduled source does. One of an older
    // version's record, which does not say, is taken for a stand-in: a stand-in
    // taken for a choice would put a failed source back on air unheard.
    const SourceTable table = ReadSourceTable(station.workingFolder);
    const std::vector<int16_t> chain = PlayableChain(station.settings().BackupChain, table);
    for (int16_t slot = 1; slot <= 2; ++slot) {
        const std::optional<PlayerRecord> record = ReadPlayerRecord(station.workingFolder, slot);
        if (!running[static_cast<size_t>(slot)] || !record || record->role == PlayerRecord::Role::Chosen)
            continue;
        air::Adopt adopt{slot,
                         {},
                         other(slot),
                         PlayerHasStarted(station.workingFolder, slot),
                         {scheduled, wanted.name, wanted.url},
                         record->lastResort};
        if (record->lastResort && record->url == station.settings().LastResortFile)
            adopt.source = {-1, "LAST RESORT", record->url};
        for (const int16_t link : chain)
            if (!record->lastResort && table[static_cast<size_t>(link)].url == record->url)
                adopt.source = {link, table[static_cast<size_t>(link)].name, record->url};
        if (adopt.source.url.empty() || !Observe(station, adopt).taken) continue;
        KeepPlayerRecord(station.air, slot, *record);
        station.metadata.playerLog.resumeSlot = slot;
        AddToAirLog(station,
                    "  SYS - KEPT ON AIR: " + PlayerName(slot) + " OF THE LAST RUN PLAYS " +
                        (adopt.lastResort ? std::string("THE LAST RESORT")
                                          : "SOURCE " + std::to_string(adopt.source.number) +
                                                (adopt.source.name.empty() ? "" : " " + adopt.source.name)) +
                        " - STANDING IN FOR SOURCE " + number,
                    LogPriority::Notice);
        // The failover told goes on: the one of the source its record names
        // (the schedule may have moved on since), whose end the webhook hears.
        AirSource failed = adopt.standsInFor;
        if (record->standsInFor >= 0) {
            const SourceEntry& entry = table[static_cast<size_t>(record->standsInFor)];
            failed = {record->standsInFor, entry.name, entry.url};
        }
        PostEvent(station, &StationListener::failoverResumed, failed);
        return;
    }
    // A player that plays something else, or what nobody wrote down, stays
    // on air until the scheduled source plays on the other slot; one that
    // has started playing is preferred to one still starting.
    const int16_t slot = running[1] && (!running[2] || PlayerHasStarted(station.workingFolder, 1)) ? 1 : 2;
    DeliveryScope scope(station.events, *station.listener);
    Observe(station, air::Adopt{slot, {}, other(slot), PlayerHasStarted(station.workingFolder, slot)});
    Observe(station, air::Choice{number, SwitchCause::Schedule});
}

}  // namespace bf
