#include "management/source_list_report.h"

#include "core/station.h"

namespace bf {

// The management link is not built yet: the report is not sent.
void ReportSourceList(Station&) {}

}  // namespace bf
