#include "core/api_key.h"

namespace bf {

ApiKeyKind KindOfApiKey(const Settings& settings) {
    if (!settings.APIkey) return ApiKeyKind::Missing;
    if (*settings.APIkey == kExampleApiKey) return ApiKeyKind::Example;
    return settings.APIkey->empty() ? ApiKeyKind::Empty : ApiKeyKind::Secret;
}

bool ApiOpen(const Settings& settings) {
    return settings.APIallowed && IsUsable(KindOfApiKey(settings));
}

}  // namespace bf
