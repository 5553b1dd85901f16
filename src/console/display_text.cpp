#include "console/display_text.h"

#include "core/text_decode.h"

namespace bf {

QString DecodeForDisplay(std::string_view bytes) {
    return QString::fromStdString(ToUtf8(bytes));
}

}  // namespace bf
