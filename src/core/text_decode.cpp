#include "core/text_decode.h"

#include <algorithm>

namespace bf {

namespace {

// How many bytes the UTF-8 character that begins with `lead` has; 0 when
// `lead` begins none.
size_t CharacterLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const size_t length = CharacterLength(lead);
        if (length == 0 || i + length > bytes.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        if (length >= 3) {
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            if (lead == 0xE0 && second < 0xA0) return false;  // overlong
            if (lead == 0xED && second > 0x9F) return false;  // a surrogate
            if (lead == 0xF0 && second < 0x90) return false;  // overlong
            if (lead == 0xF4 && second > 0x8F) return false;  // beyond U+10FFFF
        }
        i += length;
    }
    return true;
}

namespace {

// How many bytes at the end begin a UTF-8 character that does not finish.
size_t UnfinishedTail(std::string_view bytes) {
    for (size_t back = 1; back <= std::min<size_t>(3, bytes.size()); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        return c >= 0xC2 && CharacterLength(c) > back ? back : 0;
    }
    return 0;
}

bool HasHighBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string FromLatin1(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

}  // namespace

std::string ToUtf8(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    const size_t tail = UnfinishedTail(bytes);
    const std::string_view whole = bytes.substr(0, bytes.size() - tail);
    // A single such byte after plain ASCII is as likely a Latin-1 letter
    // ("Caf\xe9") as a cut character, and stays.
    if ((tail > 1 || (tail == 1 && HasHighBytes(whole))) && IsUtf8(whole)) return std::string(whole);
    return FromLatin1(bytes);
}

std::string_view CutAtCharacter(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    // The character the cut would split begins at most three bytes before
    // the first byte cut off, which is then a continuation byte.
    for (size_t back = 0; back < 4 && back <= maxBytes; ++back) {
        const auto c = static_cast<unsigned char>(text[maxBytes - back]);
        if ((c & 0xC0) == 0x80) continue;
        if (back > 0 && CharacterLength(c) > back) return text.substr(0, maxBytes - back);
        break;
    }
    return text.substr(0, maxBytes);
}

}  // namespace bf
