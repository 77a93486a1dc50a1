#pragma once

#include "core/store/ValueStore.h"

namespace voxilo {

// The settings store on Windows: the current user's registry, through the ANSI entry points,
// so that text values are kept in the system's ANSI code page as the program has always kept
// them.
class RegistryValueStore final : public ValueStore {
public:
    std::optional<Key> openKey(std::u16string_view path) override;
    void closeKey(Key key) override;
    std::optional<std::int16_t> readInteger(Key key, std::u16string_view name) override;
    std::optional<std::string> readText(Key key, std::u16string_view name,
                                        std::size_t bufferBytes) override;
    bool writeInteger(Key key, std::u16string_view name, std::int16_t value) override;
    bool writeText(Key key, std::u16string_view name, std::string_view bytes) override;
    bool deleteValue(Key key, std::u16string_view name) override;
    bool deleteKey(std::u16string_view path) override;
};

}  // namespace voxilo
