#pragma once

#include <QString>
#include <string_view>

namespace bf {

// Text of the model as a label draws it (see ToUtf8).
QString DecodeForDisplay(std::string_view bytes);

}  // namespace bf
