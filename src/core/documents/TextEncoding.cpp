#include "core/documents/TextEncoding.h"

namespace voxilo {

std::string_view byteOrderMark(TextEncoding encoding) noexcept {
    switch (encoding) {
        case TextEncoding::Utf8Bom:
            return "\xEF\xBB\xBF";
        case TextEncoding::Utf16Le:
            return "\xFF\xFE";
        case TextEncoding::Utf16Be:
            return "\xFE\xFF";
        case TextEncoding::Cp932:
        case TextEncoding::Utf8:
            break;
    }
    return {};
}

std::string_view encodingName(TextEncoding encoding) noexcept {
    switch (encoding) {
        case TextEncoding::Cp932:
            return "Shift-JIS";
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Utf8Bom:
            return "UTF-8 (BOM 付き)";
        case TextEncoding::Utf16Le:
            return "UTF-16 LE";
        case TextEncoding::Utf16Be:
            return "UTF-16 BE";
    }
    return {};
}

}  // namespace voxilo
