#include "core/password_hash.h"

#include <sodium.h>

#include <vector>

namespace bf {

namespace {

bool Ready() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

std::optional<std::string> HashPassword(std::string_view password) {
    char hash[crypto_pwhash_STRBYTES];
    if (!Ready() ||
        crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return std::nullopt;
    return std::string(hash);
}

bool PasswordMatches(std::string_view hash, std::string_view password) {
    if (!Ready() || hash.size() >= crypto_pwhash_STRBYTES) return false;
    const std::string terminated(hash);  // libsodium reads up to the NUL
    return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

const std::string& DummyPasswordHash() {
    static const std::string dummy = HashPassword(RandomHex(16)).value_or("");
    return dummy;
}

std::string RandomHex(size_t bytes) {
    std::vector<unsigned char> random(bytes);
    if (!Ready()) return {};
    randombytes_buf(random.data(), random.size());
    std::string hex(2 * bytes + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), random.data(), random.size());
    hex.pop_back();
    return hex;
}

bool SameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    return a.empty() || sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace bf
