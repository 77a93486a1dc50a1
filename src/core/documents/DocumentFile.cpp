#include "core/documents/DocumentFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/documents/DocumentFormat.h"

namespace voxilo {

Expected<std::u16string, std::string> loadDocumentFile(const std::filesystem::path& path) {
#ifdef _WIN32
    std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) return Unexpected{std::string(std::strerror(errno))};
    int readError = 0;
    auto text = readDocument([file, &readError](char* buffer, std::size_t capacity) {
        const std::size_t n = std::fread(buffer, 1, capacity, file);
        if (n == 0 && std::ferror(file)) {
            readError = errno;
            return std::ptrdiff_t{-1};
        }
        return static_cast<std::ptrdiff_t>(n);
    });
    std::fclose(file);
    if (text) return std::move(*text);
    if (text.error().kind == DocumentError::Kind::ReadFailed) {
        return Unexpected{std::string(std::strerror(readError))};
    }
    return Unexpected{std::to_string(text.error().line) +
                      "行目に CP932 として読めないバイトがあります。"};
}

}  // namespace voxilo
