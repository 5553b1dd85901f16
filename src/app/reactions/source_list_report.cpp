#include "app/reactions/source_list_report.h"

#include "core/station.h"
#include "core/timer_names.h"

namespace bf {

void SourceListReportReaction::switched(const SwitchEvent&) {
    station_.timers.start(TimerName::ReportSourceList);
}

}  // namespace bf
