#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "core/documents/DocumentFormat.h"
#include "core/platform/Expected.h"

namespace voxilo {

// Why a document cannot be opened when the system has no word for it.
enum class FileRefusal {
    NotARegularFile = 1,  // a pipe, a device, a socket: reading one could wait for ever
};
std::error_code make_error_code(FileRefusal error);

// The text the upper pane holds after loading the document file at `path`; bytes that are not
// CP932 text read as U+FFFD, as on the system the program comes from. Fails when the file
// cannot be read, and for anything that is not a regular file, which is refused unread.
Expected<LoadedDocument, std::error_code> loadDocumentFile(const std::filesystem::path& path);

// Puts `bytes` in place of the file at `path`, whole or not at all: a failure leaves an
// existing file as it was, and nothing beside it.
std::error_code saveDocumentFile(const std::filesystem::path& path, std::string_view bytes);

// A file error in the user's words (UTF-8), ending in "。".
std::string fileErrorText(std::error_code error);

}  // namespace voxilo

template <>
struct std::is_error_code_enum<voxilo::FileRefusal> : std::true_type {};
