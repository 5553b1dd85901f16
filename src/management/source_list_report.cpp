#include "management/source_list_report.h"

#include "core/query_value.h"
#include "core/station.h"
#include "core/timer_names.h"
#include "management/management_link.h"
#include "sources/source_list.h"

namespace bf {

void ReportSourceList(Station& station) {
    if (station.settings().ManagementUpdate < 1) return;  // reports are off together with downloads

    const unsigned run = ++station.management.reportsStarted;
    const SourceTable table = ReadSourceTable(station);
    for (int i = 0; i < 10; ++i) {
        // A switch made while this report waited has started a full report of
        // its own; the rest of this one could only repeat or contradict it.
        if (station.management.reportsStarted != run) return;
        const std::string url = ManagementQuery(station, station.settings().ManagementSendURL) +
                                "&item=" + std::to_string(i) + "&name=" + RequestLineValue(table[i].name) +
                                "&url=" + RequestLineValue(table[i].url) +
                                "&active=" + (i == station.onAir.CurrentSource() ? "Y" : "N");
        // The reply means nothing; a lost slot is sent again with the next report.
        FetchOnInet1(station, url, ManagementTimeoutMs::Report);
    }
}

}  // namespace bf

namespace bf {

void tmrReportSourceList_Timer(Station& station) {
    station.timers.stop(TimerName::ReportSourceList);
    // A download waiting on Inet1 would lose its request to the report; it
    // sends a report of its own when it is done, with what is on air then.
    if (station.management.downloading) return;
    ReportSourceList(station);
}

}  // namespace bf
