#include "metadata/rds_text.h"

#include <array>
#include <cstdint>

#include "core/text_decode.h"

namespace bf {

namespace {

// The closest ASCII letters of U+00A0..U+00FF.
constexpr std::array<std::string_view, 96> kLatin1Letters = {
    " ", "!", "c", "L", "?", "Y", "|",  "S", "\"", "(c)", "a", "\"", "-", "-", "(R)", "-",
    "o", "+", "2", "3", "'", "u", "P",  ".", ",",  "1",   "o", "\"", "?", "?", "?",   "?",
    "A", "A", "A", "A", "A", "A", "AE", "C", "E",  "E",   "E", "E",  "I", "I", "I",   "I",
    "D", "N", "O", "O", "O", "O", "O",  "x", "O",  "U",   "U", "U",  "U", "Y", "TH",  "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e",  "e",   "e", "e",  "i", "i", "i",   "i",
    "d", "n", "o", "o", "o", "o", "o",  "/", "o",  "u",   "u", "u",  "u", "y", "th",  "y"};

// The closest ASCII letter of each of U+0100..U+017F (Latin Extended-A);
// the ligatures IJ and OE are written out apart.
constexpr std::string_view kExtendedALetters =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTt"
    "UuUuUuUuUuUuWwYyYZzZzZzs";

// The code points of valid UTF-8 bytes (ToUtf8's result).
template <typename Each>
void ForEachCodePoint(std::string_view utf8, Each each) {
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        each(cp);
        i += length;
    }
}

std::string_view AsciiOf(char32_t cp) {
    if (cp >= 0xA0 && cp <= 0xFF) return kLatin1Letters[cp - 0xA0];
    if (cp == 0x132) return "IJ";
    if (cp == 0x133) return "ij";
    if (cp == 0x152) return "OE";
    if (cp == 0x153) return "oe";
    if (cp >= 0x100 && cp <= 0x17F) return kExtendedALetters.substr(cp - 0x100, 1);
    if (cp >= 0x2010 && cp <= 0x2015) return "-";
    if (cp >= 0x2018 && cp <= 0x201B) return "'";
    if (cp >= 0x201C && cp <= 0x201F) return "\"";
    if (cp == 0x2026) return "...";
    if (cp == 0x20AC) return "EUR";
    return "?";
}

}  // namespace

std::optional<RdsCharset> ParseRdsCharset(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower == "ascii") return RdsCharset::Ascii;
    if (lower == "latin1") return RdsCharset::Latin1;
    return std::nullopt;
}

std::string ToRdsCharset(std::string_view bytes, RdsCharset charset) {
    std::string out;
    out.reserve(bytes.size());
    ForEachCodePoint(ToUtf8(bytes), [&](char32_t cp) {
        if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
            out += ' ';
        else if (cp < 0x80 || (charset == RdsCharset::Latin1 && cp <= 0xFF))
            out += static_cast<char>(cp);
        else
            out += AsciiOf(cp);
    });
    return out;
}

std::string CutAtWord(std::string_view text, size_t maxLength) {
    if (text.size() > maxLength) {
        const size_t blank = text.rfind(' ', maxLength);
        text = text.substr(0, blank != std::string_view::npos && blank > 0 ? blank : maxLength);
    }
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

std::string RdsLine(std::string_view command, std::string_view text, size_t maxLength, RdsCharset charset) {
    // As for AIR: without a separator the whole text is the artist.
    const size_t separator = text.find(" - ");
    const std::string_view artist = text.substr(0, separator);
    const std::string_view title = separator == std::string_view::npos ? "" : text.substr(separator + 3);
    std::string line(command);
    const size_t equals = line.find('=');
    const size_t from = equals == std::string::npos ? 0 : equals + 1;
    std::string value = line.substr(from);
    // The fields' values may hold a field's name: one pass, by placeholders.
    std::string filled;
    for (size_t i = 0; i < value.size();) {
        std::string_view rest = std::string_view(value).substr(i);
        if (rest.starts_with("{text}")) {
            filled += ToRdsCharset(text, charset);
            i += 6;
        } else if (rest.starts_with("{artist}")) {
            filled += ToRdsCharset(artist, charset);
            i += 8;
        } else if (rest.starts_with("{title}")) {
            filled += ToRdsCharset(title, charset);
            i += 7;
        } else {
            filled += value[i++];
        }
    }
    line.resize(from);
    line += CutAtWord(filled, maxLength);
    return line;
}

}  // namespace bf
