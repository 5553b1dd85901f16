// The player log reader on any mplayer1.log: one metadata tick on the log,
// another once its last line has ended.

#include "fuzz_station.h"
#include "metadata/player_log_reader.h"

using namespace bf;

namespace {

void Tick(test::TestStation& s) {
    tmrGetMetadata_Timer(*s);
    const std::string& title = s->nowPlaying.previous();
    BF_FUZZ_CHECK(title.find_first_of("\r\n") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::TestStation& s = fuzz::FreshStation();
    static const bool listWritten = (s.folder.write("sourcelist.ini", "1u:http://one.example/a\r\n"), true);
    (void)listWritten;
    s.onAir(1);
    Settings& state = s.settings();
    state.DefaultStrapline = "Brackenfield Radio";
    state.ExtraMetaNowPlaying = "Now playing:";
    state.FilterSystem = true;
    std::string log(fuzz::AsText(data, size));
    s.folder.write("mplayer1.log", log);
    Tick(s);
    s.folder.write("mplayer1.log", log + "\n");
    Tick(s);
    return 0;
}
