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

// The user list as the settings key holds it, index 0 empty.
std::vector<std::u16string> listedNames(OpenKey& key) {
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
    return listedNames(key);
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

std::vector<std::u16string> mergedUserList(OpenKey& settings,
                                           const std::vector<EditedUser>& users) {
    const std::vector<std::u16string> stored = listedNames(settings);
    std::vector<std::u16string> names{u""};
    const auto holds = [](const std::vector<std::u16string>& list, const std::u16string& name) {
        return std::any_of(list.begin() + 1, list.end(), [&](const std::u16string& listed) {
            return sameIgnoringCase(listed, name);
        });
    };
    // The dialog's users in its order. One it only carried along stays only while the store
    // lists it: a user another copy deleted meanwhile does not come back without a password.
    for (const EditedUser& user : users) {
        if (user.deleted || (user.keepStoredPassword && !holds(stored, user.user))) continue;
        if (user.user.empty() || !holds(names, user.user)) names.push_back(user.user);
    }
    // Then the users the store holds that the dialog never knew of: registered since it read
    // the list. A user the dialog deleted stays deleted.
    for (std::size_t i = 1; i < stored.size(); ++i) {
        const std::u16string& name = stored[i];
        const bool known = std::any_of(users.begin(), users.end(), [&](const EditedUser& user) {
            return sameIgnoringCase(user.user, name);
        });
        if (!known) names.push_back(name);
    }
    return names;
}

bool saveUserList(OpenKey& settings, const std::vector<std::u16string>& names,
                  std::size_t editedCount) {
    const std::size_t storedCount =
        static_cast<std::size_t>(std::max<std::int16_t>(settings.integerOr(u"UserCount", 0), 0));
    const std::size_t kept = names.size() - 1;
    if (!settings.writeInteger(u"UserCount", static_cast<std::int16_t>(kept))) return false;
    // Kept users take User1 ... UserK in order; every other User value up to the length of
    // the dialog's list, or of the list stored before, goes.
    for (std::size_t k = 1; k <= kept; ++k) {
        if (!settings.writeText(numbered(u"User", k), names[k])) return false;
    }
    for (std::size_t t = kept + 1; t <= std::max(editedCount, storedCount); ++t) {
        settings.deleteValue(numbered(u"User", t));
    }
    return true;
}

bool saveUserKeys(ValueStore& store, std::u16string_view keyPath,
                  const std::vector<EditedUser>& users, const std::vector<std::u16string>& names,
                  std::u16string_view keyCodeText, std::int16_t patternIndex,
                  std::u16string_view currentUser) {
    const auto listed = [&](const std::u16string& user) {
        return std::find(names.begin() + 1, names.end(), user) != names.end();
    };
    // In list order, so that a user deleted and added again under the same name loses the
    // old key before the new one is made.
    for (const EditedUser& user : users) {
        if (user.deleted) {
            store.deleteKey(userKeyPath(keyPath, user.user));
            continue;
        }
        if (!listed(user.user)) continue;  // deleted elsewhere since the dialog read the list
        const bool ownCipher =
            user.user == currentUser && (!keyCodeText.empty() || patternIndex >= 0);
        if (user.keepStoredPassword && !ownCipher) continue;  // nothing of theirs changed
        OpenKey key(store, userKeyPath(keyPath, user.user));
        if (!key) return false;
        if (!user.keepStoredPassword && !key.writeText(u"Password", enciphered(user.password))) {
            return false;
        }
        if (user.user != currentUser) continue;
        // Nothing chosen, or nothing changed: the stored value stays as it is. The dialog may
        // show a default that stands in for a value it could not read.
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
