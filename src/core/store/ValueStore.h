#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace voxilo {

// Where the program keeps its settings: keys named by backslash-separated paths, each holding
// named values, with the registry's rules, which the settings and user operations rely on:
// - opening a key creates it, and any missing parent, when it does not exist;
// - a read fails when the stored data (a text with its terminating NUL) does not fit the
//   caller's buffer, and an integer read fails when more than 2 bytes are stored;
// - the type of a stored value is not checked on read;
// - key and value names compare without regard to ASCII case.
// Text values are CP932 bytes; the byte limits count those bytes.
class ValueStore {
public:
    using Key = std::uint64_t;

    virtual ~ValueStore() = default;

    virtual std::optional<Key> openKey(std::u16string_view path) = 0;
    virtual void closeKey(Key key) = 0;

    // The bytes of a value of at most 2 bytes, as a little-endian 16-bit integer (a shorter
    // value leaves the high byte 0).
    virtual std::optional<std::int16_t> readInteger(Key key, std::u16string_view name) = 0;
    // The bytes of a text value up to its first NUL, when the value with its terminating NUL
    // fits in `bufferBytes`.
    virtual std::optional<std::string> readText(Key key, std::u16string_view name,
                                                std::size_t bufferBytes) = 0;

    // A binary value of the 2 bytes of `value`, little-endian.
    virtual bool writeInteger(Key key, std::u16string_view name, std::int16_t value) = 0;
    // A text value of `bytes` followed by a NUL.
    virtual bool writeText(Key key, std::u16string_view name, std::string_view bytes) = 0;

    virtual bool deleteValue(Key key, std::u16string_view name) = 0;
    // Deletes a key that has no subkeys, with its values.
    virtual bool deleteKey(std::u16string_view path) = 0;

    // The changes between these two reach the store together, where the store can: a crash in
    // between leaves none of them. The registry cannot group its writes; there they stand one
    // by one and both calls succeed.
    // beginBatch() is false when the store cannot take a batch now (another program is writing
    // to it); nothing has changed then.
    [[nodiscard]] virtual bool beginBatch() { return true; }
    // Keeps every change made since beginBatch(), also when a later one failed. False when they
    // could not be kept: none of them reached the store then, and the caller must say so.
    [[nodiscard]] virtual bool endBatch() { return true; }
};

}  // namespace voxilo
