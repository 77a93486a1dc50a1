#pragma once

#include <QString>

#include <string_view>

namespace voxilo {

// A QString of UTF-16 text from the core.
inline QString qtext(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace voxilo
