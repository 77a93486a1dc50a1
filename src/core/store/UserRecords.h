#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Expected.h"
#include "core/store/StoreMessages.h"
#include "core/store/ValueStore.h"

namespace voxilo {

class OpenKey;

// The cipher key of every stored password, key code and pattern. It keeps each shifted hex
// digit printable ASCII ("0" becomes "G", "F" becomes "]"), so a value of n characters is
// stored in 4n bytes. Values stored under another key cannot be read back: never change it.
inline constexpr std::int16_t kStoreKey = 23;

// A read that shows a message on failure and goes on with a default.
template <class T>
struct StoreRead {
    T value;
    std::optional<StoreFailure> failure;
};

// One entry of the Options dialog's working user list.
struct EditedUser {
    std::u16string user;
    std::u16string password;  // plain text
    bool deleted = false;
    // The password is the one the store held when the dialog read it (or tried to: a read that
    // failed leaves "" here), untouched since: the save leaves the stored one as it is, so that a
    // value that could not be read is never written back.
    bool keepStoredPassword = false;
};

// Whether two user names name the same key: key names compare without regard to the case of
// ASCII letters, in the registry and in our own store alike.
bool sameIgnoringCase(std::u16string_view a, std::u16string_view b);

// The path of a user's own key.
std::u16string userKeyPath(std::u16string_view keyPath, std::u16string_view user);

// The registered names at indices 1 to N; index 0 holds "". A name that differs from an earlier
// one only in letter case is left out: it has no key of its own. Fails with
// UserListUnavailable when the key cannot be opened (the program then ends).
Expected<std::vector<std::u16string>, StoreFailure> loadUserNames(ValueStore& store,
                                                                  std::u16string_view keyPath);

// A user's password in plain text; "" when none is stored.
StoreRead<std::u16string> readPassword(ValueStore& store, std::u16string_view keyPath,
                                       std::u16string_view user);
// A user's key code, 1 to 25; 1 when none is stored.
StoreRead<std::int16_t> readKeyCode(ValueStore& store, std::u16string_view keyPath,
                                    std::u16string_view user);
// A user's pattern, 0 to 3; 0 when none is stored.
StoreRead<std::int16_t> readPattern(ValueStore& store, std::u16string_view keyPath,
                                    std::u16string_view user);

namespace store_detail {

// The user list a save stores, index 0 "": the users `users` keeps, in its order, then those
// the store holds now that `users` does not name (another copy of the program registered them
// since the dialog read the list). A user `users` only carries along (its stored password kept)
// is left out when the store no longer holds it.
std::vector<std::u16string> mergedUserList(OpenKey& settings, const std::vector<EditedUser>& users);

// The user half of saving the Options dialog: the list in the settings key, still open, then
// each user's key. False at the first open or write that fails.
[[nodiscard]] bool saveUserList(OpenKey& settings, const std::vector<std::u16string>& names,
                                std::size_t editedCount);
[[nodiscard]] bool saveUserKeys(ValueStore& store, std::u16string_view keyPath,
                                const std::vector<EditedUser>& users,
                                const std::vector<std::u16string>& names,
                                std::u16string_view keyCodeText, std::int16_t patternIndex,
                                std::u16string_view currentUser);

}  // namespace store_detail

}  // namespace voxilo
