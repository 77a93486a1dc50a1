#include "core/documents/DocumentFile.h"

#include <cerrno>
#include <cstdio>

#include "core/platform/SafeFileWriter.h"
#include "core/platform/Utf8.h"

namespace voxilo {

Expected<LoadedDocument, std::error_code> loadDocumentFile(const std::filesystem::path& path) {
    std::error_code status;
    if (std::filesystem::is_directory(path, status)) {
        return Unexpected{std::make_error_code(std::errc::is_a_directory)};
    }
#ifdef _WIN32
    std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) return Unexpected{std::error_code(errno, std::generic_category())};
    int readError = 0;
    auto loaded = readDocumentReplacing([file, &readError](char* buffer, std::size_t capacity) {
        const std::size_t n = std::fread(buffer, 1, capacity, file);
        if (n == 0 && std::ferror(file)) {
            readError = errno != 0 ? errno : EIO;
            return std::ptrdiff_t{-1};
        }
        return static_cast<std::ptrdiff_t>(n);
    });
    std::fclose(file);
    if (!loaded) return Unexpected{std::error_code(readError, std::generic_category())};
    return std::move(*loaded);
}

std::error_code saveDocumentFile(const std::filesystem::path& path, std::string_view bytes) {
    if (path.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
    SafeFileWriter file;
    if (std::error_code ec = file.open(toUtf8(path.u16string()))) return ec;
    if (std::error_code ec = file.write(bytes)) return ec;
    return file.commit();
}

std::string fileErrorText(std::error_code error) {
    const std::errc kinds[] = {std::errc::no_such_file_or_directory,
                               std::errc::permission_denied,
                               std::errc::operation_not_permitted,
                               std::errc::read_only_file_system,
                               std::errc::is_a_directory,
                               std::errc::no_space_on_device,
                               std::errc::filename_too_long,
                               std::errc::device_or_resource_busy,
                               std::errc::io_error};
    const char* const texts[] = {
        "ファイルまたはフォルダーが見つかりません。",
        "アクセスが拒否されました。",
        "アクセスが拒否されました。",
        "書き込みが禁止されたドライブです。",
        "フォルダーはファイルとして開けません。",
        "ディスクの空き領域が足りません。",
        "ファイル名が長すぎます。",
        "ファイルは他のプログラムが使用中です。",
        "デバイスの入出力エラーです。",
    };
    for (std::size_t i = 0; i < std::size(kinds); ++i) {
        if (error == kinds[i]) return texts[i];
    }
    return error.message() + "。";
}

}  // namespace voxilo
