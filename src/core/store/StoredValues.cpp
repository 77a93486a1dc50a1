#include "core/store/StoredValues.h"

#include "core/platform/Codepage.h"

namespace voxilo {

std::int16_t OpenKey::integerOr(std::u16string_view name, std::int16_t fallback) {
    return store_.readInteger(*key_, name).value_or(fallback);
}

std::optional<std::u16string> OpenKey::text(std::u16string_view name, std::size_t bufferBytes) {
    const auto bytes = store_.readText(*key_, name, bufferBytes);
    if (!bytes) return std::nullopt;
    std::u16string text;
    if (cp932::decode(*bytes, text)) return std::nullopt;
    return text;
}

std::u16string OpenKey::textOr(std::u16string_view name, std::size_t bufferBytes,
                               std::u16string_view fallback) {
    return text(name, bufferBytes).value_or(std::u16string(fallback));
}

bool OpenKey::writeInteger(std::u16string_view name, std::int16_t value) {
    return store_.writeInteger(*key_, name, value);
}

bool OpenKey::writeText(std::u16string_view name, std::u16string_view text) {
    std::string bytes;
    if (cp932::encode(text, bytes)) return false;
    return store_.writeText(*key_, name, bytes);
}

}  // namespace voxilo
