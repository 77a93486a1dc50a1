#include "core/store/UserRecords.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "core/cipher/TextCipher.h"
#include "core/store/StoredValues.h"

namespace voxilo {
namespace {

// Read buffers, in bytes: a name of 8 bytes, the ciphertext of an 8-character password, of a
// two-digit number.
constexpr std::size_t kNameBuffer = 9;
constexpr std::size_t kPasswordBuffer = 33;
constexpr std::size_t kNumberBuffer = 11;

std::u16string decimal(long long number) {
    std::u16string text;
    for (char c : std::to_string(number)) text.push_back(static_cast<char16_t>(c));
    return text;
}

std::u16string numbered(std::u16string_view name, std::size_t number) {
    return std::u16string(name) + decimal(static_cast<long long>(number));
}

// A user value that is missing, unreadable or a single blank reads as "".
std::u16string userValue(OpenKey& key, std::u16string_view name, std::size_t bufferBytes) {
    std::u16string text = key.textOr(name, bufferBytes, u"");
    return text == u" " ? std::u16string() : text;
}

std::u16string enciphered(std::u16string_view plain) {
    return *encodeText(plain, kStoreKey, CipherMode::Hex);  // hex mode takes any text
}

// The deciphered value of `name` as a decimal number. A stored text that is not a decimal
// integer in the 16-bit range, which only editing the store by hand can make, reads as missing.
// Any number is taken as it stands: what it means (no shift, lines copied unchanged) is the
// conversion's business, and the same store must give the same ciphertext everywhere.
StoreRead<std::int16_t> readNumber(ValueStore& store, std::u16string_view keyPath,
                                   std::u16string_view user, std::u16string_view name,
                                   std::int16_t fallback) {
    OpenKey key(store, userKeyPath(keyPath, user));
    if (!key) return {fallback, StoreFailure::ReadFailed};
    const std::u16string stored = userValue(key, name, kNumberBuffer);
    if (stored.empty()) return {fallback, std::nullopt};
    const auto text = decodeText(stored, kStoreKey, CipherMode::Hex);
    if (!text) return {fallback, std::nullopt};
    std::u16string_view digits = *text;
    const bool negative = !digits.empty() && digits.front() == u'-';
    if (negative || (!digits.empty() && digits.front() == u'+')) digits.remove_prefix(1);
    if (digits.empty()) return {fallback, std::nullopt};
    long value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return {fallback, std::nullopt};
        value = value * 10 + (c - u'0');
        if (value > 32768) return {fallback, std::nullopt};
    }
    if (negative) value = -value;
    if (value < -32768 || value > 32767) return {fallback, std::nullopt};
    return {static_cast<std::int16_t>(value), std::nullopt};
}

std::u16string caseFolded(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return folded;
}

}  // namespace

bool sameIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return caseFolded(a) == caseFolded(b);
}

std::u16string userKeyPath(std::u16string_view keyPath, std::u16string_view user) {
    std::u16string path(keyPath);
    path.push_back(u'\\');
    path.append(user);
    return path;
}

Expected<std::vector<std::u16string>, StoreFailure> loadUserNames(ValueStore& store,
                                                                  std::u16string_view keyPath) {
    OpenKey key(store, keyPath);
    if (!key) return Unexpected{StoreFailure::UserListUnavailable};
    // A negative count, which only editing the store by hand can make, reads as missing.
    const std::int16_t count = std::max<std::int16_t>(key.integerOr(u"UserCount", 0), 0);
    std::vector<std::u16string> names{u""};
    // Key names ignore letter case, so abcd and ABCD, listed by a store written elsewhere,
    // would share one key and one password: only the first of them is a user here.
    std::unordered_set<std::u16string> keys;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(count); ++i) {
        std::u16string name = userValue(key, numbered(u"User", i), kNameBuffer);
        if (name.empty() || keys.insert(caseFolded(name)).second) names.push_back(std::move(name));
    }
    return names;
}

StoreRead<std::u16string> readPassword(ValueStore& store, std::u16string_view keyPath,
                                       std::u16string_view user) {
    OpenKey key(store, userKeyPath(keyPath, user));
    if (!key) return {u"", StoreFailure::ReadFailed};
    const std::u16string stored = userValue(key, u"Password", kPasswordBuffer);
    if (stored.empty()) return {u"", std::nullopt};
    auto password = decodeText(stored, kStoreKey, CipherMode::Hex);
    return {password ? *password : u"", std::nullopt};
}

StoreRead<std::int16_t> readKeyCode(ValueStore& store, std::u16string_view keyPath,
                                    std::u16string_view user) {
    return readNumber(store, keyPath, user, u"KeyCode", 1);
}

StoreRead<std::int16_t> readPattern(ValueStore& store, std::u16string_view keyPath,
                                    std::u16string_view user) {
    return readNumber(store, keyPath, user, u"Pattern", 0);
}

namespace store_detail {

bool saveUserList(OpenKey& settings, const std::vector<EditedUser>& users) {
    std::int16_t kept = 0;
    for (const EditedUser& user : users)
        kept = static_cast<std::int16_t>(kept + (user.deleted ? 0 : 1));
    if (!settings.writeInteger(u"UserCount", kept)) return false;
    // Kept users take User1 ... UserK in list order; every other User value up to the
    // length of the list goes.
    std::size_t k = 0;
    for (std::size_t t = 1; t <= users.size(); ++t) {
        settings.deleteValue(numbered(u"User", t));
        if (users[t - 1].deleted) continue;
        if (!settings.writeText(numbered(u"User", ++k), users[t - 1].user)) return false;
    }
    return true;
}

bool saveUserKeys(ValueStore& store, std::u16string_view keyPath,
                  const std::vector<EditedUser>& users, std::u16string_view keyCodeText,
                  std::int16_t patternIndex, std::u16string_view currentUser) {
    // In list order, so that a user deleted and added again under the same name loses the
    // old key before the new one is made.
    for (const EditedUser& user : users) {
        if (user.deleted) {
            store.deleteKey(userKeyPath(keyPath, user.user));
            continue;
        }
        OpenKey key(store, userKeyPath(keyPath, user.user));
        if (!key || !key.writeText(u"Password", enciphered(user.password))) return false;
        if (user.user != currentUser) continue;
        // Nothing chosen (the dialog had no entry for a damaged stored value): the stored
        // value stays as it is.
        if (!keyCodeText.empty() && !key.writeText(u"KeyCode", enciphered(keyCodeText))) {
            return false;
        }
        if (patternIndex >= 0 && !key.writeText(u"Pattern", enciphered(decimal(patternIndex)))) {
            return false;
        }
    }
    return true;
}

}  // namespace store_detail

}  // namespace voxilo
