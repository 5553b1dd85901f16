#include "console/display_text.h"

#include <QStringDecoder>
#include <algorithm>
#include <optional>

namespace bf {

namespace {

QByteArrayView View(std::string_view bytes) {
    return QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::optional<QString> DecodeUtf8(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(View(bytes));
    if (utf8.hasError()) return std::nullopt;
    return text;
}

// How many bytes the UTF-8 character that begins with `lead` has; 0 when
// `lead` begins none.
size_t CharacterLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// How many bytes at the end begin a UTF-8 character that does not finish.
size_t UnfinishedTail(std::string_view bytes) {
    for (size_t back = 1; back <= std::min<size_t>(3, bytes.size()); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        return CharacterLength(c) > back ? back : 0;
    }
    return 0;
}

bool HasHighBytes(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

QString DecodeForDisplay(std::string_view bytes) {
    if (auto text = DecodeUtf8(bytes)) return *text;
    const size_t tail = UnfinishedTail(bytes);
    const std::string_view whole = bytes.substr(0, bytes.size() - tail);
    // A single such byte after plain ASCII is as likely a Latin-1 letter
    // ("Caf\xe9") as a cut character, and stays.
    if (tail > 1 || (tail == 1 && HasHighBytes(whole)))
        if (auto text = DecodeUtf8(whole)) return *text;
    return QString::fromLatin1(View(bytes));
}

}  // namespace bf
