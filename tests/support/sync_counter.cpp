#include "sync_counter.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

bf::test::SyncCount counted;

}  // namespace

// Stands in for the C library's fsync in the test program, counts, and
// calls it.
extern "C" int fsync(int fd) {
    struct stat st {};
    ++(::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? counted.folders : counted.files);
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    return real ? real(fd) : 0;
}

bf::test::SyncCount bf::test::SyncsSoFar() {
    return counted;
}
