#pragma once

#include <string>
#include <string_view>

namespace voxilo {

// Paths as the windows hold them: whole paths in UTF-16, separated by the platform's own
// separator.
#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// What follows the last separator; "" when the path has none (an empty path included).
std::u16string fileNamePart(std::u16string_view path, char16_t separator = kPathSeparator);

// What comes before the last separator, without it; "" when the path has none.
std::u16string folderPart(std::u16string_view path, char16_t separator = kPathSeparator);

}  // namespace voxilo
