#include "sources/health_check.h"

#include "core/station.h"

namespace bf {

// Placeholder until this unit is built.
std::string ServerRoot(std::string_view) { return "/"; }
void tmrSourceCheck_Timer(Station&) {}

}  // namespace bf
