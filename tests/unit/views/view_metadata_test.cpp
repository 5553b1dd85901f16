#include <gtest/gtest.h>

#include "metadata/air_update.h"
#include "metadata/billing_reporter.h"
#include "metadata/now_playing.h"
#include "test_station.h"

namespace bf::test {
namespace {

// A paid airing billed and a song sent to AIR, both answered: the labels as the records draw them.
TEST(ViewMetadata, DrawsThePaidAiringTheReportAndAirFromTheirRecords) {
    TestStation t;
    Settings& s = t.settings();
    s.Tallyway = s.AIRenable = true;
    t.InetTallyway.queue("OK");
    TakeTitle(*t, "$ Acme Holdings International - Spring Sale", TitleArrival::Announced);
    tmrCheckFile_Timer(*t);
    TakeTitle(*t, "Artist - Song", TitleArrival::Announced);
    tmrAirUpdate_Timer(*t);
    EXPECT_EQ(Items(*t, "lblTraffic lblLastCheck lblTimestamp lblArtist lblTitle lblSentTime lblResponse"),
              "lblTraffic=2026-12-06 12:00:00  PAY - $ Acme Holdings International - Spring Sale "
              "lblLastCheck=06-12-2026 12:00:00 lblTimestamp=20261206-120000 lblArtist=Acme Holdings I... "
              "lblTitle=Spring Sale lblSentTime=06-12-2026 12:00:00 lblResponse=OK");
    EXPECT_EQ(Items(*t, "lblRXmetadata lblAIRartist lblAIRtitle lblAIRupdated"),
              "lblRXmetadata=Artist - Song lblAIRartist=Artist lblAIRtitle=Song lblAIRupdated=12:00:00");
}

}  // namespace
}  // namespace bf::test
