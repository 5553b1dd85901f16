// The settings reader on any brackenfield.ini.

#include "core/settings.h"
#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::TestStation& s = fuzz::FreshStation();
    s.folder.write("brackenfield.ini", fuzz::AsText(data, size));
    const std::string tallyway = LoadSettings(*s);

    // The start-up reading and the one-key lookup find the same values; only
    // a billing reporter without its key is turned off.
    BF_FUZZ_CHECK(ReadSetting(*s, "Tallyway") == tallyway ||
                  (tallyway == "0" && s->console.lblLastCheck.caption == "Disabled - no APIKey set"));
    BF_FUZZ_CHECK(ReadSetting(*s, "metalocation") == s->state.MetaLocation);
    const StationState& state = s->state;
    for (const std::string* value : {&tallyway, &state.ManagementURL, &state.APIkey, &state.URLbase})
        BF_FUZZ_CHECK(value->size() <= 119 && value->find('\0') == std::string::npos);
    return 0;
}
