#pragma once

#include <string>
#include <string_view>

namespace voxilo {

// UTF-8 for terminals and logs. A lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

// UTF-16 from UTF-8, as command lines and terminals give it. A byte that does not belong to a
// well-formed sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view text);

}  // namespace voxilo
