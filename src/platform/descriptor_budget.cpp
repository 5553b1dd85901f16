#include "platform/descriptor_budget.h"

#include <sys/resource.h>

#include <algorithm>
#include <limits>

namespace bf {

namespace {

long SoftLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    if (limit.rlim_cur == RLIM_INFINITY) return std::numeric_limits<int>::max();
    return static_cast<long>(std::min<rlim_t>(limit.rlim_cur, std::numeric_limits<int>::max()));
}

}  // namespace

long RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    return SoftLimit();
}

long ListenerDescriptorCeiling() {
    const long soft = SoftLimit();
    return std::max(soft - kDescriptorReserve, soft / 2);
}

}  // namespace bf
