#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/store/ValueStore.h"

namespace voxilo::testing_support {

// A value store held in memory, with the registry's rules (names without regard to ASCII case,
// byte limits on reads, no type check). Values can be put in as raw bytes, whatever a hand
// edit or another program may have left there.
class MemoryValueStore final : public ValueStore {
public:
    // Stores `bytes` as they are, without a terminating NUL of its own.
    void putRaw(std::u16string_view path, std::u16string_view name, std::string bytes) {
        values_[folded(path)][folded(name)] = std::move(bytes);
    }

    std::optional<Key> openKey(std::u16string_view path) override {
        keys_[++lastKey_] = &values_[folded(path)];
        return lastKey_;
    }
    void closeKey(Key key) override { keys_.erase(key); }
    std::optional<std::int16_t> readInteger(Key key, std::u16string_view name) override {
        const std::string* data = find(key, name);
        if (data == nullptr || data->size() > 2) return std::nullopt;
        unsigned value = 0;
        for (std::size_t i = 0; i < data->size(); ++i)
            value |= static_cast<unsigned>(static_cast<unsigned char>((*data)[i])) << (8 * i);
        return static_cast<std::int16_t>(value);
    }
    std::optional<std::string> readText(Key key, std::u16string_view name,
                                        std::size_t bufferBytes) override {
        const std::string* data = find(key, name);
        if (data == nullptr || data->size() > bufferBytes) return std::nullopt;
        return data->substr(0, data->find('\0'));
    }
    bool writeInteger(Key key, std::u16string_view name, std::int16_t value) override {
        const auto bits = static_cast<std::uint16_t>(value);
        return put(key, name, {static_cast<char>(bits & 0xFF), static_cast<char>(bits >> 8)});
    }
    bool writeText(Key key, std::u16string_view name, std::string_view bytes) override {
        std::string data(bytes);
        data.push_back('\0');
        return put(key, name, std::move(data));
    }
    bool deleteValue(Key key, std::u16string_view name) override {
        const auto open = keys_.find(key);
        return open != keys_.end() && open->second->erase(folded(name)) > 0;
    }
    bool deleteKey(std::u16string_view path) override {
        const auto values = values_.find(folded(path));
        if (values == values_.end()) return false;
        values->second.clear();  // open keys may still point at it
        return true;
    }

private:
    static std::u16string folded(std::u16string_view text) {
        std::u16string lower(text);
        for (char16_t& c : lower) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        }
        return lower;
    }
    using Values = std::map<std::u16string, std::string>;  // by folded value name

    const std::string* find(Key key, std::u16string_view name) const {
        const auto open = keys_.find(key);
        if (open == keys_.end()) return nullptr;
        const auto value = open->second->find(folded(name));
        return value == open->second->end() ? nullptr : &value->second;
    }
    bool put(Key key, std::u16string_view name, std::string data) {
        const auto open = keys_.find(key);
        if (open == keys_.end()) return false;
        (*open->second)[folded(name)] = std::move(data);
        return true;
    }

    std::map<std::u16string, Values> values_;  // by folded key path; nodes never move
    std::map<Key, Values*> keys_;
    Key lastKey_ = 0;
};

}  // namespace voxilo::testing_support
