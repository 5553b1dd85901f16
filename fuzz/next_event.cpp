// The schedule's reading, its next- and last-event calculation and the event
// tick on any sourceevents.ini, at any time of the week.
//
// Input: four bytes set the clock (weekday, then the second of the day);
// bit 7 of the first also runs the calculation and the tick again a minute
// later. The rest is the schedule file.

#include "schedule/next_event.h"

#include "fuzz_station.h"
#include "schedule/event_tick.h"

using namespace bf;

namespace {

void CheckEntries(const Station& station) {
    for (const auto& entry : {station.schedule.next, station.schedule.last})
        BF_FUZZ_CHECK(!entry || (entry->entry.weekday >= 1 && entry->entry.weekday <= 7 &&
                                 entry->entry.secondOfDay >= 0 && entry->entry.secondOfDay < 86400 &&
                                 entry->entry.source >= 0 && entry->entry.source <= 9));
    // Only a source of the list is ever on air.
    BF_FUZZ_CHECK(station.onAir.CurrentSource() >= -1 && station.onAir.CurrentSource() <= 2);
    const std::string& next = station.console.lblNextEvent.caption;
    const std::string& last = station.console.lblLastEvent.caption;
    BF_FUZZ_CHECK(next == "No Event Next" || next.starts_with("Next: "));
    BF_FUZZ_CHECK(last == "No Previous Event" || last.starts_with("Last: "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    test::TestStation& s = fuzz::FreshStation();
    static const bool listWritten =
        (s.folder.write("sourcelist.ini",
                        "0n:Backup\r\n0u:http://backup.example/b\r\n1n:Morning Show\r\n"
                        "1u:http://one.example/a\r\n2n:Evening\r\n2u:http://two.example/b\r\n"),
         true);
    (void)listWritten;
    const int second = ((data[1] << 16) | (data[2] << 8) | data[3]) % 86400;
    s.clock.setTime(data[0] % 7 + 1, second / 3600, second / 60 % 60, second % 60);
    s.folder.write("sourceevents.ini", fuzz::AsText(data + 4, size - 4));

    tmrLoadEventsAndCalculate_Timer(*s);
    tmrCheckAndDoEvents_Timer(*s);
    CheckEntries(*s);
    if (data[0] & 0x80) {
        s.clock.advance(60);
        tmrLoadEventsAndCalculate_Timer(*s);
        tmrCheckAndDoEvents_Timer(*s);
        CheckEntries(*s);
    }
    return 0;
}
