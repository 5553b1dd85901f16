#pragma once

namespace bf::test {

// Every fsync of this test process so far (the program's among them): of
// files and of folders apart, as a disk that syncs slowly would feel them.
struct SyncCount {
    int files = 0;
    int folders = 0;
};
SyncCount SyncsSoFar();

}  // namespace bf::test
