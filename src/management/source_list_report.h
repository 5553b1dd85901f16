#pragma once

namespace bf {

struct Station;

void ReportSourceList(Station& station);

}  // namespace bf
