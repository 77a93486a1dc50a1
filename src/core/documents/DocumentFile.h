#pragma once

#include <filesystem>
#include <string>

#include "core/platform/Expected.h"

namespace voxilo {

// The text the upper pane holds after loading the document file at `path`, or what went wrong
// (the system's description of a read error, or where the bytes are not CP932), in UTF-8.
Expected<std::u16string, std::string> loadDocumentFile(const std::filesystem::path& path);

}  // namespace voxilo
