#pragma once

#include <string_view>

namespace bf {

struct Station;

// How a title reached the station.
enum class TitleArrival {
    // The stream announced it while it played: a change of title, or the
    // title on air announced once more.
    Announced,
    // The stream's title of the moment, read again when a connection to the
    // stream begins (a player or the program started, a switch): the first
    // title of a fresh player log. It may belong to the airing already on
    // air, which it then neither ends nor begins again.
    ReadAgain,
};

// The title intake: every title the stream on air carries comes through
// here, one call per title in the order the stream sent them, whoever read
// it (the metadata tick takes the ICY lines of the active player's log;
// titles read in the stream itself come the same way). `title` is the
// title's bytes as the stream sent them, unquoted; "" is an empty title. The
// caller bounds it: the player prints at most some 260 bytes of a title, and
// a reader of the stream should cut at a few kilobytes (CutAtCharacter).
// Call it for each title the stream sends, also one that repeats the title
// before it: a repeat announced is no change and does nothing new.
//
// It decides the paid airings. A title beginning "$ " begins an airing when
// it is announced and differs from the title taken before it (from any
// reader), or when it is read again and is not the paid title on air; the
// airing is recorded at once (the "  PAY - " line, the record's paid
// airing; tallyway.txt at the tick's end) and told to the listener
// (paidAiring), which bills
// it once with Tallyway=1, also several between two ticks. An announced title that differs from the one
// before and is not paid ends the paid airing on air; a title read again ends nothing. A system command
// ("!!*SYS*!!", any case) that differs from PreviousMetadata gets its "  API - " line. A title that is not
// empty is then the received title, and the now-playing text the title (DefaultStrapline for a paid title); a
// change of the received title is told to the listener (titleChanged). The title becomes PreviousMetadata.
//
// It writes no output file: metadata.txt and metaextra.txt follow at the next
// metadata tick, at most 5 s later. The tick ends with HoldTitle for the
// title its player log holds, which re-applies that title (an ICY title
// outlasts a title taken in between from elsewhere) or, when the log holds
// none, empties PreviousMetadata.
void TakeTitle(Station& station, std::string_view title, TitleArrival arrival);

// The metadata tick's end: `title` is the title on air as the active
// player's log holds it, its last ICY title; "" when no player runs, its log
// is missing or holds no title yet. A title is passed on again (after a
// failover put the strapline in its place); an empty one leaves the
// received title as it is, and the next title counts as new again.
void HoldTitle(Station& station, std::string_view title);

// Startup: the last paid airing in tallyway.txt counts as still on air, so
// that the stream's title read again after a restart is not a new airing.
void ResumePaidAiring(Station& station);

// A failover: what was received is no longer on air, the strapline takes
// its place (told as a change with the cause Failover).
void ShowStrapline(Station& station);

}  // namespace bf
