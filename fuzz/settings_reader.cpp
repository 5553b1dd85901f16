// The settings reader on any brackenfield.ini.

#include "core/settings.h"
#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::TestStation& s = fuzz::FreshStation();
    s.folder.write("brackenfield.ini", fuzz::AsText(data, size));
    LoadSettings(*s);
    const std::vector<Finding> findings = CheckSettingsText(fuzz::AsText(data, size));

    // The start-up reading and the one-key lookup find the same values; only
    // a billing reporter without its key is turned off.
    const Settings& state = s->settings();
    BF_FUZZ_CHECK((ReadSetting(*s, "Tallyway") == "1") == state.Tallyway ||
                  (!state.Tallyway && !state.lacking.billing.empty()));
    BF_FUZZ_CHECK(ReadSetting(*s, "ManagementURL") == state.ManagementURL);
    // A flag that is neither 0 nor 1 is named.
    const std::string check = ReadSetting(*s, "CheckSource");
    if (check != "0" && check != "1" && check != s->workingFolder.string().substr(0, 119)) {
        bool named = false;
        for (const Finding& f : findings)
            named = named || f.message.find("is neither 0 nor 1") != std::string::npos;
        BF_FUZZ_CHECK(named);
    }
    const std::string key = state.APIkey.value_or("");
    for (const std::string* value : {&state.ManagementURL, &key, &state.URLbase})
        BF_FUZZ_CHECK(value->size() <= 119 && value->find('\0') == std::string::npos);
    return 0;
}
