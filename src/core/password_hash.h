#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bf {

// libsodium's argon2id at its interactive limits (about 64 MiB and a tenth
// of a second a password): "$argon2id$...", or nullopt when the machine has
// not the memory.
std::optional<std::string> HashPassword(std::string_view password);

// Whether `password` is the one `hash` was made of. Takes the time and
// memory the hash names: run it off the event loop.
bool PasswordMatches(std::string_view hash, std::string_view password);

// A hash of no password anybody knows, checked for a name nobody has, so
// that a login's time does not tell which names exist. Made once.
const std::string& DummyPasswordHash();

// `bytes` random bytes from the system's generator, as lower-case hex.
std::string RandomHex(size_t bytes);

// Whether a and b are the same bytes, in a time that depends on their
// lengths alone.
bool SameSecret(std::string_view a, std::string_view b);

}  // namespace bf
