#include "core/documents/DocumentFile.h"

#include <cerrno>
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/platform/SafeFileWriter.h"
#include "core/platform/Utf8.h"

namespace voxilo {

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

// The file at `path`, opened for reading only when it is a regular file. A pipe is opened
// without waiting for a writer, so that asking what it is cannot hang.
Expected<std::FILE*, std::error_code> openRegularFile(const std::filesystem::path& path) {
#ifdef _WIN32
    std::error_code status;
    const auto kind = std::filesystem::status(path, status).type();
    if (kind == std::filesystem::file_type::directory) {
        return Unexpected{std::make_error_code(std::errc::is_a_directory)};
    }
    if (!status && kind != std::filesystem::file_type::regular) {
        return Unexpected{make_error_code(FileRefusal::NotARegularFile)};
    }
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return Unexpected{lastError()};
    return file;
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Unexpected{lastError()};
    struct stat info {};
    std::error_code refused;
    if (::fstat(fd, &info) != 0) {
        refused = lastError();
    } else if (S_ISDIR(info.st_mode)) {
        refused = std::make_error_code(std::errc::is_a_directory);
    } else if (!S_ISREG(info.st_mode)) {
        refused = make_error_code(FileRefusal::NotARegularFile);
    } else if (::fcntl(fd, F_SETFL, 0) != 0) {
        refused = lastError();
    }
    std::FILE* file = refused ? nullptr : ::fdopen(fd, "rb");
    if (file == nullptr) {
        if (!refused) refused = lastError();
        ::close(fd);
        return Unexpected{refused};
    }
    return file;
#endif
}

}  // namespace

Expected<LoadedDocument, std::error_code> loadDocumentFile(const std::filesystem::path& path) {
    auto opened = openRegularFile(path);
    if (!opened) return Unexpected{opened.error()};
    std::FILE* file = *opened;
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
    if (error == FileRefusal::NotARegularFile) {
        return "通常のファイルではありません (パイプやデバイスは開けません)。";
    }
    struct Kind {
        std::errc condition;
        const char* text;
    };
    static const Kind kinds[] = {
        {std::errc::no_such_file_or_directory, "ファイルまたはフォルダーが見つかりません。"},
        {std::errc::permission_denied, "アクセスが拒否されました。"},
        {std::errc::operation_not_permitted, "アクセスが拒否されました。"},
        {std::errc::read_only_file_system, "書き込みが禁止されたドライブです。"},
        {std::errc::is_a_directory, "フォルダーはファイルとして開けません。"},
        {std::errc::not_a_directory, "パスの途中にフォルダーでないものがあります。"},
        {std::errc::no_space_on_device, "ディスクの空き領域が足りません。"},
        {std::errc::file_too_large, "ファイルが大きすぎます。"},
        {std::errc::filename_too_long, "ファイル名が長すぎます。"},
        {std::errc::too_many_symbolic_link_levels, "リンクの参照が多すぎます。"},
        {std::errc::device_or_resource_busy, "ファイルは他のプログラムが使用中です。"},
        {std::errc::text_file_busy, "ファイルは他のプログラムが使用中です。"},
        {std::errc::too_many_files_open, "開いているファイルが多すぎます。"},
        {std::errc::too_many_files_open_in_system, "開いているファイルが多すぎます。"},
        {std::errc::not_enough_memory, "メモリが足りません。"},
        {std::errc::io_error, "デバイスの入出力エラーです。"},
    };
    for (const Kind& kind : kinds) {
        if (error == kind.condition) return kind.text;
    }
#ifdef EDQUOT
    if (error.category() == std::generic_category() && error.value() == EDQUOT) {
        return "ディスクの使用量の上限を超えています。";
    }
#endif
    // The window speaks Japanese throughout: an error without a text of its own is named by
    // its number, which still tells a helper what happened.
    return "ファイルの読み書きでエラーが発生しました (エラー番号 " + std::to_string(error.value()) +
           ")。";
}

}  // namespace voxilo
