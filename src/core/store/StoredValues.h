#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/store/ValueStore.h"

namespace voxilo {

// A key of the store, open for as long as this lives.
class OpenKey {
public:
    OpenKey(ValueStore& store, std::u16string_view path)
        : store_(store), key_(store.openKey(path)) {}
    ~OpenKey() {
        if (key_) store_.closeKey(*key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    explicit operator bool() const noexcept { return key_.has_value(); }

    // Reading never fails: a missing, oversized or unreadable value gives `fallback`.
    std::int16_t integerOr(std::u16string_view name, std::int16_t fallback);
    std::u16string textOr(std::u16string_view name, std::size_t bufferBytes,
                          std::u16string_view fallback);
    // A value read as text, or nothing when it cannot be read.
    std::optional<std::u16string> text(std::u16string_view name, std::size_t bufferBytes);

    [[nodiscard]] bool writeInteger(std::u16string_view name, std::int16_t value);
    // Fails, writing nothing, when the text holds a character CP932 cannot hold.
    [[nodiscard]] bool writeText(std::u16string_view name, std::u16string_view text);
    void deleteValue(std::u16string_view name) { store_.deleteValue(*key_, name); }

private:
    ValueStore& store_;
    std::optional<ValueStore::Key> key_;
};

}  // namespace voxilo
