#include "core/documents/DocumentPaths.h"

namespace voxilo {

std::u16string fileNamePart(std::u16string_view path, char16_t separator) {
    const std::size_t last = path.rfind(separator);
    if (last == std::u16string_view::npos) return {};
    return std::u16string(path.substr(last + 1));
}

std::u16string folderPart(std::u16string_view path, char16_t separator) {
    const std::size_t last = path.rfind(separator);
    if (last == std::u16string_view::npos) return {};
    return std::u16string(path.substr(0, last));
}

}  // namespace voxilo
