#include "core/url_credentials.h"

#include <algorithm>

namespace bf {

std::string WithoutCredentials(std::string_view text) {
    std::string out;
    size_t at = 0;
    for (size_t scheme; (scheme = text.find("://", at)) != std::string_view::npos;) {
        const size_t host = scheme + 3;
        // The address's authority ends at its path, query, fragment, a blank,
        // a line end or a quote: none is part of an address.
        const size_t end = std::min(text.find_first_of("/?# \t\r\n\"<>", host), text.size());
        const size_t userEnd = text.substr(host, end - host).rfind('@');
        out.append(text.substr(at, host - at));
        at = userEnd == std::string_view::npos ? host : host + userEnd + 1;
    }
    return out.append(text.substr(at));
}

}  // namespace bf
