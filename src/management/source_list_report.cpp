#include "management/source_list_report.h"

#include "core/query_value.h"
#include "core/station.h"
#include "core/timer_names.h"
#include "management/management_link.h"
#include "sources/source_list.h"

namespace bf {

void ReportSourceList(Station& station) {
    if (station.settings().ManagementUpdate < 1) return;  // reports are off together with downloads

    DropWaitingReports(station);
    const SourceTable table = ReadSourceTable(station.workingFolder);
    for (int i = 0; i < 10; ++i) {
        const std::string url = ManagementQuery(station, station.settings().ManagementSendURL) +
                                "&item=" + std::to_string(i) + "&name=" + RequestLineValue(table[i].name) +
                                "&url=" + RequestLineValue(table[i].url) +
                                "&active=" + (i == station.onAir.CurrentSource() ? "Y" : "N");
        // The reply means nothing; a lost slot is sent again with the next report.
        AskManagement(station, url, ManagementTimeoutMs::Report, true,
                      [](const std::string&, const std::string&) {});
    }
}

void tmrReportSourceList_Timer(Station& station) {
    station.timers.stop(TimerName::ReportSourceList);
    ReportSourceList(station);
}

}  // namespace bf
