#pragma once

#include <string_view>

namespace voxilo {

// The encodings a document file can be in. CP932 is the program's own, and what a new document
// and the converted text are saved in; the others are kept when a file came in them. UTF-16 is
// always written with its byte-order mark, UTF-8 with it only when asked (or when the file had
// one).
enum class TextEncoding { Cp932, Utf8, Utf8Bom, Utf16Le, Utf16Be };

// The bytes a file in `encoding` starts with; empty for CP932 and UTF-8 without the mark.
std::string_view byteOrderMark(TextEncoding encoding) noexcept;

// The encoding's name as the window and voxilo-cli show it (UTF-8): "Shift-JIS", "UTF-8",
// "UTF-8 (BOM 付き)", "UTF-16 LE", "UTF-16 BE".
std::string_view encodingName(TextEncoding encoding) noexcept;

inline bool isUtf16(TextEncoding encoding) noexcept {
    return encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
}

}  // namespace voxilo
