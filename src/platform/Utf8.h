#pragma once

#include <string>
#include <string_view>

namespace voxilo {

// UTF-8 for terminals and logs. A lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

}  // namespace voxilo
