#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "core/documents/DocumentFormat.h"
#include "core/platform/Expected.h"
#include "core/platform/FileRefusal.h"

namespace voxilo {

// The text the upper pane holds after loading the document file at `path`; bytes that are not
// CP932 text read as U+FFFD, as on the system the program comes from. Fails when the file
// cannot be read, and for anything that is not a regular file, which is refused unread.
Expected<LoadedDocument, std::error_code> loadDocumentFile(const std::filesystem::path& path);

// Puts `bytes` in place of the file at `path`, whole or not at all: a failure leaves an
// existing file as it was, and nothing beside it. A folder, a pipe or a device at `path` is
// refused without being opened.
std::error_code saveDocumentFile(const std::filesystem::path& path, std::string_view bytes);

// A file error in the user's words (UTF-8), ending in "。".
std::string fileErrorText(std::error_code error);

}  // namespace voxilo
