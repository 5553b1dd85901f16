#pragma once

#include <string_view>

#include "core/settings_record.h"

namespace bf {

// The example station's key, which everybody who has seen the example knows.
inline constexpr std::string_view kExampleApiKey = "change-this-key";

// What the settings' APIKey allows. A usable key is present and not the
// example station's; an empty one is usable too, and lets every caller in.
enum class ApiKeyKind {
    Missing,  // no APIKey line: the API stays closed
    Example,  // the example station's key: closed
    Empty,    // present but empty: anyone may call (the station warns)
    Secret,   // present, not empty, not the example's
};

// The one rule for APIKey: every door that takes the key asks it. A door
// that lets a caller in by the key alone (a browser console's bearer
// token) takes only a Secret one, and only while ApiOpen.
ApiKeyKind KindOfApiKey(const Settings& settings);

inline bool IsUsable(ApiKeyKind kind) {
    return kind == ApiKeyKind::Empty || kind == ApiKeyKind::Secret;
}

// Whether the API answers callers now: APIallowed=1 with a usable key. Its
// listener opens only at a start that finds it so; a reading of the settings
// that leaves it otherwise makes every request answer "ERROR" until one
// makes it so again.
bool ApiOpen(const Settings& settings);

}  // namespace bf
